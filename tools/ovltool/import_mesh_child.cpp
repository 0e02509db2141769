// The mesh importer's child process: the importer library (assimp) runs in a child
// under time and memory limits and sends the triangles it read back over a pipe as
// the stream of import_mesh.h; the parent reads and checks the stream.
#include "ovltool/import_mesh_child.h"

#include <assimp/cimport.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/bytes.h"
#include "core/process.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr rlim_t ChildMemoryBytes = 2ull << 30;   // address space of the importer child
constexpr rlim_t ChildCpuSeconds = 20;
constexpr int ChildWallSeconds = 40;
constexpr size_t MaxStreamBytes = 768u << 20;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool SanitizerBuild = true;
#elif defined(__has_feature)
constexpr bool SanitizerBuild =
    __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer);
#else
constexpr bool SanitizerBuild = false;
#endif

void Put(Bytes* out, const void* p, size_t n)
{
    const uint8_t* b = static_cast<const uint8_t*>(p);
    out->insert(out->end(), b, b + n);
}
void PutU32(Bytes* out, uint32_t v)
{
    uint8_t b[4];
    WriteLE32(b, v);
    Put(out, b, 4);
}
void PutFloat(Bytes* out, float f)
{
    uint32_t v;
    memcpy(&v, &f, 4);
    PutU32(out, v);
}

bool WriteAll(int fd, const Bytes& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// The child's whole work: its exit status.
int RunChild(const std::string& path, int fd)
{
    rlimit cpu{ChildCpuSeconds, ChildCpuSeconds};
    setrlimit(RLIMIT_CPU, &cpu);
    if (!SanitizerBuild) {   // sanitizers reserve terabytes of address space
        rlimit memory{ChildMemoryBytes, ChildMemoryBytes};
        setrlimit(RLIMIT_AS, &memory);
    }
    Bytes out{'T', 'V', 'M', '1'};
    const aiScene* scene = aiImportFile(path.c_str(), aiProcess_Triangulate | aiProcess_JoinIdenticalVertices |
                                                          aiProcess_PreTransformVertices | aiProcess_SortByPType);
    if (scene == nullptr) {
        std::string reason = aiGetErrorString();
        reason.erase(std::remove(reason.begin(), reason.end(), '\n'), reason.end());
        if (reason.find("bad_alloc") != std::string::npos)
            reason = "the file needs more memory than the importer may use (2 GiB)";
        out.push_back('E');
        PutU32(&out, uint32_t(reason.size()));
        Put(&out, reason.data(), reason.size());
    } else {
        for (unsigned m = 0; m < scene->mNumMeshes; m++) {
            const aiMesh* mesh = scene->mMeshes[m];
            uint32_t triangles = 0;
            for (unsigned f = 0; f < mesh->mNumFaces; f++)
                triangles += mesh->mFaces[f].mNumIndices == 3;
            if (triangles == 0)
                continue;
            const bool hasUv = mesh->mTextureCoords[0] != nullptr;
            out.push_back('M');
            PutU32(&out, mesh->mNumVertices);
            PutU32(&out, triangles);
            out.push_back(hasUv ? 1 : 0);
            for (unsigned i = 0; i < mesh->mNumVertices; i++) {
                PutFloat(&out, mesh->mVertices[i].x);
                PutFloat(&out, mesh->mVertices[i].y);
                PutFloat(&out, mesh->mVertices[i].z);
            }
            if (hasUv)
                for (unsigned i = 0; i < mesh->mNumVertices; i++) {
                    PutFloat(&out, mesh->mTextureCoords[0][i].x);
                    PutFloat(&out, mesh->mTextureCoords[0][i].y);
                }
            for (unsigned f = 0; f < mesh->mNumFaces; f++)
                if (mesh->mFaces[f].mNumIndices == 3)
                    for (int k = 0; k < 3; k++)
                        PutU32(&out, mesh->mFaces[f].mIndices[k]);
        }
        aiReleaseImport(scene);
    }
    out.push_back('Z');
    return WriteAll(fd, out) ? 0 : 3;
}

double Now()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + t.tv_nsec * 1e-9;
}

}   // namespace

bool LoadMeshInChild(const std::string& path, std::vector<SourceMesh>* meshes, std::string* error)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        *error = std::string("cannot start the importer: ") + strerror(errno);
        return false;
    }
    fflush(nullptr);
    const pid_t pid = StartChild([&] {
        close(fds[0]);
        return RunChild(path, fds[1]);
    });
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        *error = std::string("cannot start the importer: ") + strerror(errno);
        return false;
    }
    close(fds[1]);
    Bytes stream;
    const double deadline = Now() + ChildWallSeconds;
    bool timedOut = false, tooLarge = false;
    uint8_t chunk[65536];
    for (;;) {
        const double left = deadline - Now();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        const int ready = poll(&p, 1, int(left * 1000) + 1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            continue;
        const ssize_t n = read(fds[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        stream.insert(stream.end(), chunk, chunk + n);
        if (stream.size() > MaxStreamBytes) {
            tooLarge = true;
            break;
        }
    }
    close(fds[0]);
    if (timedOut || tooLarge)
        kill(pid, SIGKILL);
    int status = 0;
    WaitForChild(pid, &status);
    if (timedOut) {
        *error = "the importer took longer than " + std::to_string(ChildWallSeconds) + " seconds and was stopped";
        return false;
    }
    if (tooLarge) {
        *error = "the mesh is larger than the importer may send (768 MiB)";
        return false;
    }
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        *error = sig == SIGXCPU ? "the importer used more than " + std::to_string(ChildCpuSeconds) +
                                      " seconds of processor time and was stopped"
                                : std::string("the importer crashed (") + strsignal(sig) +
                                      "); the file may be damaged or need more than 2 GiB of memory";
        return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        *error = "the importer failed (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
        return false;
    }
    return ParseTriangleStream(stream.data(), stream.size(), meshes, error);
}

bool ParseTriangleStream(const uint8_t* data, size_t size, std::vector<SourceMesh>* meshes, std::string* error)
{
    meshes->clear();
    size_t at = 0;
    auto need = [&](size_t n) { return size - at >= n; };
    auto u32 = [&]() {
        const uint32_t v = ReadLE32(data + at);
        at += 4;
        return v;
    };
    auto f32 = [&]() {
        const uint32_t v = u32();
        float f;
        memcpy(&f, &v, 4);
        return f;
    };
    if (!need(4) || memcmp(data, "TVM1", 4) != 0) {
        *error = "the importer sent no mesh data";
        return false;
    }
    at = 4;
    uint64_t total = 0;
    for (;;) {
        if (!need(1)) {
            *error = "the importer's data ends early";
            return false;
        }
        const uint8_t kind = data[at++];
        if (kind == 'Z')
            break;
        if (kind == 'E') {
            if (!need(4)) {
                *error = "the importer's data ends early";
                return false;
            }
            const uint32_t length = u32();
            if (!need(length)) {
                *error = "the importer's data ends early";
                return false;
            }
            std::string reason(reinterpret_cast<const char*>(data + at), std::min<size_t>(length, 300));
            for (char& c : reason)
                if (c == '\n' || c == '\r')
                    c = ' ';
            *error = reason.empty() ? "the importer cannot read the file" : reason;
            return false;
        }
        if (kind != 'M' || !need(9)) {
            *error = "the importer's data is malformed";
            return false;
        }
        const uint32_t vertices = u32(), faces = u32();
        const bool hasUv = data[at++] != 0;
        total += vertices;
        const uint64_t bytes = uint64_t(vertices) * (hasUv ? 20 : 12) + uint64_t(faces) * 12;
        if (total > MaxStreamVertices || bytes > size - at) {
            *error = "the importer's data is malformed";
            return false;
        }
        SourceMesh mesh;
        mesh.positions.resize(size_t(vertices) * 3);
        for (float& f : mesh.positions)
            f = f32();
        if (hasUv) {
            mesh.uv.resize(size_t(vertices) * 2);
            for (float& f : mesh.uv)
                f = f32();
        }
        for (float f : mesh.positions)
            if (!std::isfinite(f)) {
                *error = "the mesh has a position that is not a finite number";
                return false;
            }
        for (float& f : mesh.uv)
            if (!std::isfinite(f))
                f = 0;
        mesh.indices.resize(size_t(faces) * 3);
        for (uint32_t& i : mesh.indices) {
            i = u32();
            if (i >= vertices) {
                *error = "the mesh has a face with a vertex index outside its mesh";
                return false;
            }
        }
        meshes->push_back(std::move(mesh));
    }
    if (at != size) {
        *error = "the importer's data is malformed";
        return false;
    }
    return true;
}
