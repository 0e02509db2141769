// The default meshes, built from parametric surfaces, and the 3D Studio mesh file
// writer. Every surface is closed and wound so that (b - a) x (c - a) points
// outward, so exactly the faces turned to the eye are drawn.
#include "gencontent/content.h"

#include <cmath>
#include <cstring>

#include "core/bytes.h"
#include "gencontent/generator_math.h"

namespace {

using Vec3 = MeshPoint;
using Triangle = MeshTriangle;
using Mesh = MeshData;
Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(Vec3 a, double k) { return {a.x * k, a.y * k, a.z * k}; }
Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Normalized(Vec3 a) { return a * (1.0 / Sqrt(Dot(a, a))); }

// ---- surface builders ------------------------------------------------------------

// Makes the winding outward: a closed, consistently wound surface has a positive
// signed volume exactly when its faces point out.
void OrientOutward(Mesh& mesh)
{
    double volume = 0;
    for (const Triangle& t : mesh.faces)
        volume += Dot(mesh.vertices[t.a], Cross(mesh.vertices[t.b], mesh.vertices[t.c]));
    if (volume < 0)
        for (Triangle& t : mesh.faces)
            std::swap(t.b, t.c);
}

// A surface over a grid periodic in both parameters (torus-like): point(i, j) for
// i < rings around the long way, j < sides.
template <typename PointFn> Mesh PeriodicSurface(const char* name, int rings, int sides, PointFn point)
{
    Mesh mesh{name, {}, {}, {}, {}};
    for (int i = 0; i < rings; i++)
        for (int j = 0; j < sides; j++) {
            mesh.vertices.push_back(point(i, j));
            mesh.u.push_back(double(i) / rings * 4);
            mesh.v.push_back(double(j) / sides);
        }
    auto index = [&](int i, int j) { return uint16_t((i % rings) * sides + (j % sides)); };
    for (int i = 0; i < rings; i++)
        for (int j = 0; j < sides; j++) {
            mesh.faces.push_back({index(i, j), index(i + 1, j), index(i + 1, j + 1)});
            mesh.faces.push_back({index(i, j), index(i + 1, j + 1), index(i, j + 1)});
        }
    OrientOutward(mesh);
    return mesh;
}

// A surface periodic around (i < around) with a pole at each end of the other
// parameter: point(i, j) for the rings j = 1 .. bands - 1, plus the two poles.
template <typename PointFn>
Mesh PolarSurface(const char* name, int around, int bands, Vec3 northPole, Vec3 southPole, PointFn point)
{
    Mesh mesh{name, {}, {}, {}, {}};
    mesh.vertices.push_back(northPole);
    mesh.u.push_back(0.5);
    mesh.v.push_back(0);
    for (int j = 1; j < bands; j++)
        for (int i = 0; i < around; i++) {
            mesh.vertices.push_back(point(i, j));
            mesh.u.push_back(double(i) / around * 2);
            mesh.v.push_back(double(j) / bands);
        }
    uint16_t south = uint16_t(mesh.vertices.size());
    mesh.vertices.push_back(southPole);
    mesh.u.push_back(0.5);
    mesh.v.push_back(1);
    auto ring = [&](int i, int j) { return uint16_t(1 + (j - 1) * around + (i % around)); };
    for (int i = 0; i < around; i++) {
        mesh.faces.push_back({0, ring(i + 1, 1), ring(i, 1)});
        for (int j = 1; j < bands - 1; j++) {
            mesh.faces.push_back({ring(i, j), ring(i + 1, j), ring(i + 1, j + 1)});
            mesh.faces.push_back({ring(i, j), ring(i + 1, j + 1), ring(i, j + 1)});
        }
        mesh.faces.push_back({ring(i, bands - 1), ring(i + 1, bands - 1), south});
    }
    OrientOutward(mesh);
    return mesh;
}

// A tube of radius `radius` around a closed curve; the cross-section's frame is
// built from `reference`, which the curve's tangent must never be parallel to.
template <typename CurveFn>
Mesh Tube(const char* name, int rings, int sides, double radius, Vec3 reference, CurveFn curve)
{
    return PeriodicSurface(name, rings, sides, [&](int i, int j) {
        double t = 2 * Pi * i / rings;
        Vec3 centre = curve(t);
        Vec3 tangent = Normalized(curve(t + 1e-4) - curve(t - 1e-4));
        Vec3 side = Normalized(Cross(tangent, reference));
        Vec3 up = Cross(side, tangent);
        double a = 2 * Pi * j / sides;
        return centre + side * (radius * Cos(a)) + up * (radius * Sin(a));
    });
}

double SignedPower(double value, double exponent)
{
    double magnitude = Pow(std::fabs(value), exponent);
    return value < 0 ? -magnitude : magnitude;
}

// ---- the shapes --------------------------------------------------------------------

// A five-pointed star, puffed into a rounded slab: the star outline in the x-z
// plane, a superellipse cross-section through its thickness.
Mesh StarMesh()
{
    const int around = 100, bands = 16;
    const double inner = 52, outer = 128, halfThickness = 34, roundness = 0.45;
    auto outline = [&](double angle) {
        double arm = std::fabs(Cos(2.5 * (angle - Pi / 2)));
        return inner + (outer - inner) * arm * arm * arm;
    };
    return PolarSurface(
        "star", around, bands, Vec3{0, -halfThickness, 0}, Vec3{0, halfThickness, 0}, [&](int i, int j) {
            double angle = 2 * Pi * i / around;
            double lat = -Pi / 2 + Pi * j / bands;
            double spread = SignedPower(Cos(lat), roundness);
            double r = outline(angle) * spread;
            return Vec3{r * Cos(angle), halfThickness * SignedPower(Sin(lat), roundness), r * Sin(angle)};
        });
}

// A torus facing the viewer.
Mesh TorusMesh()
{
    const int rings = 48, sides = 24;
    const double major = 84, minor = 38;
    return PeriodicSurface("torus", rings, sides, [&](int i, int j) {
        double a = 2 * Pi * i / rings, b = 2 * Pi * j / sides;
        double r = major + minor * Cos(b);
        return Vec3{r * Cos(a), minor * Sin(b), r * Sin(a)};
    });
}

// A (2, 3) torus knot (a trefoil) as a tube.
Mesh KnotMesh()
{
    const double scale = 38, radius = 17;
    return Tube("knot", 144, 12, radius, Vec3{0, 1, 0}, [&](double t) {
        double r = 2 + Cos(3 * t);
        return Vec3{scale * r * Cos(2 * t), -scale * Sin(3 * t), scale * r * Sin(2 * t)};
    });
}

// A rounded cube (superellipsoid) twisted a quarter turn about its vertical axis.
Mesh TwistedCubeMesh()
{
    const int around = 64, bands = 28;
    const double half = 82, squareness = 0.3, twist = Pi / 2;
    auto twisted = [&](Vec3 p) {
        double a = twist * p.z / (2 * half);
        return Vec3{p.x * Cos(a) - p.y * Sin(a), p.x * Sin(a) + p.y * Cos(a), p.z};
    };
    return PolarSurface("twist", around, bands, Vec3{0, 0, half}, Vec3{0, 0, -half}, [&](int i, int j) {
        double angle = 2 * Pi * i / around + Pi / around;
        double lat = Pi / 2 - Pi * j / bands;
        double c = SignedPower(Cos(lat), squareness);
        Vec3 p{half * c * SignedPower(Cos(angle), squareness), half * c * SignedPower(Sin(angle), squareness),
               half * SignedPower(Sin(lat), squareness)};
        return twisted(p);
    });
}

// Three elliptical rings in the three axis planes, linked like Borromean rings.
std::vector<Mesh> RingMeshes()
{
    const double longAxis = 112, shortAxis = 56, radius = 13;
    const int rings = 56, sides = 10;
    std::vector<Mesh> meshes;
    meshes.push_back(Tube("ring1", rings, sides, radius, Vec3{0, 0, 1}, [&](double t) {
        return Vec3{longAxis * Cos(t), shortAxis * Sin(t), 0};
    }));
    meshes.push_back(Tube("ring2", rings, sides, radius, Vec3{1, 0, 0}, [&](double t) {
        return Vec3{0, longAxis * Cos(t), shortAxis * Sin(t)};
    }));
    // The third ring has an empty name (a lone zero byte), which readers must accept.
    meshes.push_back(Tube("", rings, sides, radius, Vec3{0, 1, 0}, [&](double t) {
        return Vec3{shortAxis * Sin(t), 0, longAxis * Cos(t)};
    }));
    return meshes;
}

// The final scene's slab: a box whose vertex k has the x, depth and height bits
// of k (bit 0: x, bit 1: height, bit 2: depth), so 0, 1, 4, 5 form the bottom face
// and 2, 3, 6, 7 the top. Twice as deep as wide, like the strip window laid on its
// bottom face (vertices 0, 1, 4, 5).
Mesh SlabMesh()
{
    const double halfWidth = 140, halfDepth = 280, halfHeight = 30;
    Mesh mesh{"slab", {}, {}, {}, {}};
    for (int k = 0; k < 8; k++) {
        int xBit = k & 1, topBit = (k >> 1) & 1, depthBit = (k >> 2) & 1;
        mesh.vertices.push_back(
            {xBit ? halfWidth : -halfWidth, depthBit ? halfDepth : -halfDepth, topBit ? halfHeight : -halfHeight});
        // Top face: the whole texture; bottom: a band of rows lower, so the sides
        // show a strip of it.
        mesh.u.push_back(depthBit ? 0.996 : 0.0);
        mesh.v.push_back((xBit ? 0.996 : 0.0) + (topBit ? 0.0 : 0.19));
    }
    const uint16_t quads[6][4] = {{0, 1, 5, 4}, {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& q : quads) {
        mesh.faces.push_back({q[0], q[1], q[2]});
        mesh.faces.push_back({q[0], q[2], q[3]});
    }
    OrientOutward(mesh);
    return mesh;
}

// ---- chunk writer --------------------------------------------------------------------

struct ChunkWriter {
    std::vector<uint8_t> bytes;

    void U8(uint8_t v) { bytes.push_back(v); }
    void U16(uint16_t v)
    {
        bytes.resize(bytes.size() + 2);
        WriteLE16(&bytes[bytes.size() - 2], v);
    }
    void U32(uint32_t v)
    {
        bytes.resize(bytes.size() + 4);
        WriteLE32(&bytes[bytes.size() - 4], v);
    }
    void Float(double value)
    {
        float f = float(value);
        uint32_t bits;
        memcpy(&bits, &f, 4);
        U32(bits);
    }
    void Name(const std::string& name)
    {
        bytes.insert(bytes.end(), name.begin(), name.end());
        U8(0);
    }
    size_t Begin(uint16_t id)
    {
        size_t start = bytes.size();
        U16(id);
        U32(0);
        return start;
    }
    void End(size_t start) { WriteLE32(&bytes[start + 2], uint32_t(bytes.size() - start)); }
};

void WriteMaterial(ChunkWriter& w, const char* name, uint8_t r, uint8_t g, uint8_t b)
{
    size_t material = w.Begin(0xAFFF);
    size_t nameChunk = w.Begin(0xA000);
    w.Name(name);
    w.End(nameChunk);
    size_t diffuse = w.Begin(0xA020);
    size_t colour = w.Begin(0x0011);
    w.U8(r);
    w.U8(g);
    w.U8(b);
    w.End(colour);
    w.End(diffuse);
    w.End(material);
}

void WriteMeshObject(ChunkWriter& w, const Mesh& mesh)
{
    size_t object = w.Begin(0x4000);
    w.Name(mesh.name);
    size_t trimesh = w.Begin(0x4100);

    size_t points = w.Begin(0x4110);
    w.U16(uint16_t(mesh.vertices.size()));
    for (const Vec3& p : mesh.vertices) {
        w.Float(p.x);
        w.Float(p.y);
        w.Float(p.z);
    }
    w.End(points);

    size_t mapping = w.Begin(0x4140);
    w.U16(uint16_t(mesh.vertices.size()));
    for (size_t i = 0; i < mesh.vertices.size(); i++) {
        w.Float(mesh.u[i]);
        w.Float(mesh.v[i]);
    }
    w.End(mapping);

    size_t axes = w.Begin(0x4160);   // local axis system: three unit axes and the origin
    for (double value : {1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0})
        w.Float(value);
    w.End(axes);

    size_t faces = w.Begin(0x4120);
    w.U16(uint16_t(mesh.faces.size()));
    for (const Triangle& t : mesh.faces) {
        w.U16(t.a);
        w.U16(t.b);
        w.U16(t.c);
        w.U16(7);   // edge visibility flags
    }
    size_t group = w.Begin(0x4130);
    w.Name("chrome");
    uint16_t listed = uint16_t(mesh.faces.size() < 32 ? mesh.faces.size() : 32);
    w.U16(listed);
    for (uint16_t k = 0; k < listed; k++)
        w.U16(k);
    w.End(group);
    size_t smoothing = w.Begin(0x4150);
    for (size_t k = 0; k < mesh.faces.size(); k++)
        w.U32(1);
    w.End(smoothing);
    w.End(faces);

    w.End(trimesh);
    w.End(object);
}

void WriteLight(ChunkWriter& w)
{
    size_t object = w.Begin(0x4000);
    w.Name("lamp");
    size_t light = w.Begin(0x4600);
    w.Float(-200);
    w.Float(-300);
    w.Float(250);
    size_t colour = w.Begin(0x0010);
    w.Float(1);
    w.Float(1);
    w.Float(0.9);
    w.End(colour);
    w.End(light);
    w.End(object);
}

void WriteCamera(ChunkWriter& w)
{
    size_t object = w.Begin(0x4000);
    w.Name("eye");
    size_t camera = w.Begin(0x4700);
    for (double value : {0.0, -556.0, 0.0, 0.0, 0.0, 0.0, 0.0, 45.0})   // position, target, bank, lens
        w.Float(value);
    w.End(camera);
    w.End(object);
}

void WriteKeyframes(ChunkWriter& w, const std::string& nodeName)
{
    size_t keyframes = w.Begin(0xB000);
    size_t header = w.Begin(0xB00A);
    w.U16(5);
    w.Name("tivrel");
    w.U32(100);
    w.End(header);
    size_t segment = w.Begin(0xB008);
    w.U32(0);
    w.U32(100);
    w.End(segment);
    size_t node = w.Begin(0xB002);
    size_t nodeHeader = w.Begin(0xB010);
    w.Name(nodeName);
    w.U16(0);
    w.U16(0);
    w.U16(0xFFFF);
    w.End(nodeHeader);
    w.End(node);
    w.End(keyframes);
}

}   // namespace

std::vector<uint8_t> EncodeMeshFile(const std::vector<MeshData>& meshes)
{
    ChunkWriter w;
    size_t main = w.Begin(0x4D4D);
    size_t version = w.Begin(0x0002);
    w.U32(3);
    w.End(version);
    size_t editor = w.Begin(0x3D3D);
    size_t meshVersion = w.Begin(0x3D3E);
    w.U32(3);
    w.End(meshVersion);
    WriteMaterial(w, "chrome", 200, 200, 210);
    size_t scale = w.Begin(0x0100);
    w.Float(1);
    w.End(scale);
    WriteLight(w);
    for (const Mesh& mesh : meshes)
        WriteMeshObject(w, mesh);
    WriteCamera(w);
    w.End(editor);
    WriteKeyframes(w, meshes.front().name);
    w.End(main);
    return w.bytes;
}

std::vector<uint8_t> BuildMeshFile(const std::string& name)
{
    if (name == "star.3ds")
        return EncodeMeshFile({StarMesh()});
    if (name == "jo2.3ds")
        return EncodeMeshFile({TorusMesh()});
    if (name == "jo6.3ds")
        return EncodeMeshFile({KnotMesh()});
    if (name == "part5.3ds")
        return EncodeMeshFile({TwistedCubeMesh()});
    if (name == "new4.3ds")
        return EncodeMeshFile(RingMeshes());
    if (name == "stucco1.3ds")
        return EncodeMeshFile({SlabMesh()});
    return {};
}
