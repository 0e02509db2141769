// Mesh import: the triangles the importer's child (import_mesh_child.cpp) read are
// fitted, oriented, simplified and written with gencontent's 3D Studio writer, then
// read back with the player's own mesh reader.
#include "ovltool/import_mesh.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

#include "archive/content_rules.h"
#include "archive/pack.h"
#include "core/bytes.h"
#include "gencontent/content.h"
#include "ovltool/check.h"
#include "ovltool/import_mesh_child.h"
#include "ovltool/import_source.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t MaxSourceBytes = 256u << 20;   // source files larger than this are refused
constexpr uint32_t MaxObjectVertices = 65535;   // the writer's 16-bit counts

// ---- geometry ------------------------------------------------------------------------------

struct Vec {
    double x, y, z;
};
Vec Sub(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec Cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// One object in the file's axes (x right, y away, z up), mapping in texture widths.
struct Object {
    std::vector<Vec> points;
    std::vector<double> u, v;
    std::vector<std::array<uint32_t, 3>> faces;
};

// The library's axes (y up, z toward the viewer) to the file's: a rotation, so the
// winding keeps its sense.
Object FromSource(const SourceMesh& mesh)
{
    Object o;
    const size_t n = mesh.positions.size() / 3;
    for (size_t i = 0; i < n; i++) {
        const float* p = &mesh.positions[3 * i];
        o.points.push_back({p[0], -double(p[2]), p[1]});
        o.u.push_back(mesh.uv.empty() ? 0 : mesh.uv[2 * i]);
        o.v.push_back(mesh.uv.empty() ? 0 : mesh.uv[2 * i + 1]);
    }
    for (size_t f = 0; f + 2 < mesh.indices.size(); f += 3)
        o.faces.push_back({mesh.indices[f], mesh.indices[f + 1], mesh.indices[f + 2]});
    return o;
}

void Append(Object* into, const Object& from)
{
    const uint32_t base = uint32_t(into->points.size());
    into->points.insert(into->points.end(), from.points.begin(), from.points.end());
    into->u.insert(into->u.end(), from.u.begin(), from.u.end());
    into->v.insert(into->v.end(), from.v.begin(), from.v.end());
    for (auto f : from.faces)
        into->faces.push_back({f[0] + base, f[1] + base, f[2] + base});
}

// Joins vertices with the same position and mapping.
void Weld(Object* o)
{
    std::map<std::array<double, 5>, uint32_t> seen;
    std::vector<uint32_t> remap(o->points.size());
    for (uint32_t i = 0; i < remap.size(); i++) {
        const Vec p = o->points[i];
        remap[i] = seen.emplace(std::array<double, 5>{p.x, p.y, p.z, o->u[i], o->v[i]}, i).first->second;
    }
    for (auto& f : o->faces)
        for (auto& i : f)
            i = remap[i];
}

// Drops faces with a repeated corner or no area, and vertices no face uses.
void Compact(Object* o)
{
    std::vector<std::array<uint32_t, 3>> kept;
    for (auto f : o->faces) {
        if (f[0] == f[1] || f[1] == f[2] || f[0] == f[2])
            continue;
        const Vec n = Cross(Sub(o->points[f[1]], o->points[f[0]]), Sub(o->points[f[2]], o->points[f[0]]));
        if (Dot(n, n) == 0)
            continue;
        kept.push_back(f);
    }
    std::vector<uint32_t> remap(o->points.size(), UINT32_MAX);
    Object out;
    for (auto& f : kept)
        for (auto& i : f) {
            if (remap[i] == UINT32_MAX) {
                remap[i] = uint32_t(out.points.size());
                out.points.push_back(o->points[i]);
                out.u.push_back(o->u[i]);
                out.v.push_back(o->v[i]);
            }
            i = remap[i];
        }
    out.faces = std::move(kept);
    *o = std::move(out);
}

double SignedVolume(const Object& o, Vec centre)
{
    double volume = 0;
    for (auto f : o.faces)
        volume += Dot(Sub(o.points[f[0]], centre), Cross(Sub(o.points[f[1]], centre), Sub(o.points[f[2]], centre)));
    return volume / 6;
}

void SphericalMapping(Object* o)
{
    for (size_t i = 0; i < o->points.size(); i++) {
        const Vec p = o->points[i];
        const double r = std::sqrt(Dot(p, p));
        o->u[i] = std::atan2(p.y, p.x) / (2 * M_PI) + 0.5;
        o->v[i] = r > 0 ? std::acos(std::clamp(p.z / r, -1.0, 1.0)) / M_PI : 0.5;
    }
}

MeshData ToMeshData(const Object& o, const std::string& name)
{
    MeshData m;
    m.name = name;
    for (size_t i = 0; i < o.points.size(); i++) {
        m.vertices.push_back({o.points[i].x, o.points[i].y, o.points[i].z});
        m.u.push_back(o.u[i]);
        m.v.push_back(o.v[i]);
    }
    for (auto f : o.faces)
        m.faces.push_back({uint16_t(f[0]), uint16_t(f[1]), uint16_t(f[2])});
    return m;
}

// Simplifies o to at most targetFaces triangles (meshoptimizer; the sloppy variant
// when the careful one cannot get there).
void Simplify(Object* o, size_t targetFaces)
{
    std::vector<float> positions;
    for (const Vec& p : o->points) {
        positions.push_back(float(p.x));
        positions.push_back(float(p.y));
        positions.push_back(float(p.z));
    }
    // Weld by position so the simplifier sees one connected surface.
    std::vector<uint32_t> weld(o->points.size());
    std::map<std::array<float, 3>, uint32_t> seen;
    for (uint32_t i = 0; i < weld.size(); i++)
        weld[i] = seen.emplace(std::array<float, 3>{positions[3 * i], positions[3 * i + 1], positions[3 * i + 2]}, i)
                      .first->second;
    std::vector<uint32_t> indices;
    for (auto f : o->faces)
        for (uint32_t i : f)
            indices.push_back(weld[i]);
    std::vector<uint32_t> out(indices.size());
    const size_t targetIndices = targetFaces * 3;
    size_t n = meshopt_simplify(out.data(), indices.data(), indices.size(), positions.data(), o->points.size(), 12,
                                targetIndices, 0.05f, 0, nullptr);
    if (n > targetIndices)
        n = meshopt_simplifySloppy(out.data(), indices.data(), indices.size(), positions.data(), o->points.size(), 12,
                                   targetIndices, 1.0f, nullptr);
    o->faces.clear();
    for (size_t k = 0; k + 2 < n; k += 3)
        o->faces.push_back({out[k], out[k + 1], out[k + 2]});
    Compact(o);
}

std::string Figures(const char* format, double a, double b = 0, double c = 0)
{
    char line[300];
    snprintf(line, sizeof line, format, a, b, c);
    return line;
}

// The final scene's box: eight distinct corners of an axis-aligned box, ordered so
// vertex k has bit 0 = right, bit 1 = top, bit 2 = far, with the default slab's faces
// and mapping. False with the reason when the source is not such a box.
bool MakeFinalBox(const Object& source, Object* box, std::string* why)
{
    std::vector<Vec> corners;
    for (const Vec& p : source.points) {
        bool known = false;
        for (const Vec& c : corners)
            known = known || (std::fabs(c.x - p.x) + std::fabs(c.y - p.y) + std::fabs(c.z - p.z) < 1e-6);
        if (!known)
            corners.push_back(p);
        if (corners.size() > 8)
            break;
    }
    if (corners.size() != 8) {
        *why =
            corners.size() > 8 ? "more than 8 distinct corners" : std::to_string(corners.size()) + " distinct corners";
        return false;
    }
    Vec low = corners[0], high = corners[0];
    for (const Vec& c : corners) {
        low = {std::min(low.x, c.x), std::min(low.y, c.y), std::min(low.z, c.z)};
        high = {std::max(high.x, c.x), std::max(high.y, c.y), std::max(high.z, c.z)};
    }
    const Vec size = Sub(high, low);
    const double tolerance = 1e-4 * std::max({size.x, size.y, size.z});
    if (size.x <= tolerance || size.y <= tolerance || size.z <= tolerance) {
        *why = "a flat shape";
        return false;
    }
    box->points.assign(8, Vec{0, 0, 0});
    std::array<bool, 8> filled{};
    for (const Vec& c : corners) {
        const auto side = [&](double value, double lo, double hi, int bit) {
            if (std::fabs(value - lo) <= tolerance)
                return 0;
            if (std::fabs(value - hi) <= tolerance)
                return bit;
            return -1;
        };
        const int x = side(c.x, low.x, high.x, 1), z = side(c.z, low.z, high.z, 2), y = side(c.y, low.y, high.y, 4);
        if (x < 0 || y < 0 || z < 0 || filled[size_t(x | y | z)]) {
            *why = "eight corners that are not those of an axis-aligned box";
            return false;
        }
        filled[size_t(x | y | z)] = true;
        box->points[size_t(x | y | z)] = c;
    }
    box->u.clear();
    box->v.clear();
    for (int k = 0; k < 8; k++) {
        const int xBit = k & 1, topBit = (k >> 1) & 1, depthBit = (k >> 2) & 1;
        box->u.push_back(depthBit ? 0.996 : 0.0);
        box->v.push_back((xBit ? 0.996 : 0.0) + (topBit ? 0.0 : 0.19));
    }
    const uint32_t quads[6][4] = {{0, 1, 5, 4}, {2, 6, 7, 3}, {0, 2, 3, 1}, {4, 5, 7, 6}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    box->faces.clear();
    for (const auto& q : quads) {
        box->faces.push_back({q[0], q[1], q[2]});
        box->faces.push_back({q[0], q[2], q[3]});
    }
    const Vec middle{(low.x + high.x) / 2, (low.y + high.y) / 2, (low.z + high.z) / 2};
    if (SignedVolume(*box, middle) < 0)
        for (auto& f : box->faces)
            std::swap(f[1], f[2]);
    return true;
}

bool EntryFits(const Bytes& bytes, const MeshImportOptions& options, const std::string& entryName)
{
    return bytes.size() <= ScratchEntryBytes &&
           PackThroughCache(options.packCache, entryName, bytes).size() <= ScratchEntryBytes;
}

// A source that the player reads as it is, keeps the entry's rules and has about
// the size its scene needs.
bool UsableAsIs(const Bytes& data, const MeshCamera& camera, const MeshImportOptions& options)
{
    if (data.size() < 6 || data[0] != 0x4D || data[1] != 0x4D || !EntryFits(data, options, camera.entry))
        return false;
    MeshFacts facts;
    std::string error;
    if (!ReadMeshFacts(data.data(), data.size(), &facts, &error))
        return false;
    if (camera.scene == 16 && !facts.finalBoxProblem.empty())
        return false;
    // Within a factor of two of the size its scene is made for (the default meshes are).
    return facts.radius >= camera.fitRadius / 2 && facts.radius <= camera.fitRadius * 2;
}

}   // namespace

bool ImportMesh(const std::string& sourcePath, const std::string& entryName, const MeshImportOptions& options,
                std::vector<uint8_t>* entryBytes, std::string* report, std::string* error)
{
    report->clear();
    const MeshCamera* camera = FindMeshCamera(entryName.c_str());
    if (camera == nullptr) {
        *error = entryName + ": not a mesh entry of the demo";
        return false;
    }
    const std::string where = sourcePath + " (" + entryName + "): ";
    Bytes data;
    if (!ReadSourceFile(sourcePath, MaxSourceBytes, "larger than 256 MiB", &data, error))
        return false;
    const bool optionsAskChange = options.keepScale || options.keepObjects || options.generateUv;
    if (!optionsAskChange && UsableAsIs(data, *camera, options)) {
        *entryBytes = std::move(data);
        *report = "stored unchanged: already a mesh the demo reads\n";
        return true;
    }

    std::vector<SourceMesh> sources;
    std::string why;
    if (!LoadMeshInChild(sourcePath, &sources, &why)) {
        *error = where + why;
        return false;
    }
    std::vector<Object> objects;
    for (const SourceMesh& s : sources) {
        Object o = FromSource(s);
        Weld(&o);
        Compact(&o);
        if (!o.faces.empty())
            objects.push_back(std::move(o));
    }
    if (objects.empty()) {
        *error = where + "no triangles in the file";
        return false;
    }
    const bool anyUv = std::any_of(sources.begin(), sources.end(), [](const SourceMesh& s) { return !s.uv.empty(); });
    size_t sourceFaces = 0;
    for (const Object& o : objects)
        sourceFaces += o.faces.size();
    *report += Figures("read %.0f triangles in %.0f meshes\n", double(sourceFaces), double(objects.size()));

    const bool finalScene = camera->scene == 16;
    if (!options.keepObjects || finalScene) {
        Object merged;
        for (const Object& o : objects)
            Append(&merged, o);
        objects.assign(1, std::move(merged));
        if (sources.size() > 1)
            *report += "merged into one object\n";
    } else if (objects.size() > size_t(MeshMaxObjects)) {
        *error = where +
                 Figures("%.0f objects; the demo reads at most %.0f", double(objects.size()), double(MeshMaxObjects));
        return false;
    }
    if (finalScene) {
        Object box;
        if (!MakeFinalBox(objects[0], &box, &why)) {
            *error = where +
                     "the final scene needs the 8-vertex box (vertices 0-7) it flattens and maps; this mesh has " + why;
            return false;
        }
        objects[0] = std::move(box);
        *report += "box corners ordered as the final scene flattens and maps them (bit 0 right, bit 1 top, bit 2 "
                   "far)\n";
    }

    // Centre and fit.
    Vec low = objects[0].points[0], high = low;
    for (const Object& o : objects)
        for (const Vec& p : o.points) {
            low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
            high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
        }
    if (!options.keepScale) {
        const Vec centre{(low.x + high.x) / 2, (low.y + high.y) / 2, (low.z + high.z) / 2};
        double radius = 0;
        for (const Object& o : objects)
            for (const Vec& p : o.points)
                radius = std::max(radius, std::sqrt(Dot(Sub(p, centre), Sub(p, centre))));
        if (!(radius > 0 && std::isfinite(radius))) {
            *error = where + "the mesh has no extent or coordinates too large to measure";
            return false;
        }
        const double k = camera->fitRadius / radius;
        for (Object& o : objects)
            for (Vec& p : o.points)
                p = {(p.x - centre.x) * k, (p.y - centre.y) * k, (p.z - centre.z) * k};
        *report += Figures("fitted to the camera of scene %.0f: radius %.4g scaled to %.1f\n", camera->scene, radius,
                           camera->fitRadius);
    }

    // Winding: a closed surface wound outward encloses a positive signed volume.
    for (size_t i = 0; i < objects.size(); i++) {
        Object& o = objects[i];
        Vec centre{0, 0, 0};
        for (const Vec& p : o.points)
            centre = {centre.x + p.x, centre.y + p.y, centre.z + p.z};
        const double n = double(o.points.size());
        centre = {centre.x / n, centre.y / n, centre.z / n};
        if (SignedVolume(o, centre) < 0) {
            for (auto& f : o.faces)
                std::swap(f[1], f[2]);
            *report += Figures("object %.0f was wound inward: %.0f faces turned to face outward\n", double(i + 1),
                               double(o.faces.size()));
        }
    }

    if (!finalScene && (options.generateUv || !anyUv)) {
        for (Object& o : objects)
            SphericalMapping(&o);
        *report += "mapping coordinates generated (spherical)\n";
    }

    // Fit the entry: simplify until the written file packs into the scratch areas.
    auto encode = [&]() {
        std::vector<MeshData> meshes;
        for (size_t i = 0; i < objects.size(); i++)
            meshes.push_back(ToMeshData(objects[i], "object" + std::to_string(i + 1)));
        return EncodeMeshFile(meshes);
    };
    auto faceCount = [&]() {
        size_t n = 0;
        for (const Object& o : objects)
            n += o.faces.size();
        return n;
    };
    const size_t before = faceCount();
    bool simplified = false;
    for (int round = 0;; round++) {
        bool countsFit = true;
        for (const Object& o : objects)
            countsFit = countsFit && o.points.size() <= MaxObjectVertices && o.faces.size() <= MaxObjectVertices;
        Bytes bytes;
        if (countsFit) {
            bytes = encode();
            if (EntryFits(bytes, options, entryName)) {
                *entryBytes = std::move(bytes);
                break;
            }
        }
        if (finalScene || round == 24 || faceCount() <= objects.size() * 4) {
            *error = where + "cannot be simplified to fit the 100,000 bytes of its entry";
            return false;
        }
        // Aim a little under the share of the limit the current size suggests.
        double share = countsFit ? double(ScratchEntryBytes) / double(std::max<size_t>(bytes.size(), 1)) * 0.92 : 0.5;
        const size_t packed = countsFit ? PackStream(bytes.data(), bytes.size()).size() : 0;
        if (packed > ScratchEntryBytes)
            share = std::min(share, double(ScratchEntryBytes) / double(packed) * 0.92);
        for (Object& o : objects) {
            size_t target = std::max<size_t>(4, size_t(double(o.faces.size()) * std::min(share, 0.95)));
            target = std::min<size_t>(target, MaxObjectVertices / 2);
            Simplify(&o, target);
        }
        simplified = true;
    }
    if (simplified)
        *report += Figures("simplified from %.0f to %.0f triangles to fit the entry's 100,000 bytes\n", double(before),
                           double(faceCount()));

    // The player's reader is the judge of the result.
    MeshFacts facts;
    if (!ReadMeshFacts(entryBytes->data(), entryBytes->size(), &facts, &why)) {
        *error = where + "the demo's reader refuses the result: " + why +
                 (options.keepScale ? " (the source's own scale is kept; fitting it may help)" : "");
        return false;
    }
    if (finalScene && !facts.finalBoxProblem.empty()) {
        *error = where + "the result " + facts.finalBoxProblem;
        return false;
    }
    *report += Figures("wrote %.0f bytes: %.0f vertices, %.0f triangles", double(entryBytes->size()),
                       double(facts.vertices), double(facts.faces)) +
               Figures(", about %.0f pixels across on screen\n", ScreenDiameter(*camera, facts.radius));
    if (NearestScreenDiameter(*camera, facts.radius) == 0)
        *report += "warning: the mesh passes behind the eye at this scale\n";
    return true;
}
