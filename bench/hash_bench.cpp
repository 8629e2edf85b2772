// One hash of a whole file through the viewer's own hashing, as the worker
// runs it: bench/run times the process as it times each tool.
//   hash_bench crc32|md5|sha1|sha256|sha512|xxh64 FILE   prints the digest
#include "hash/hash_range.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const HashKind kinds[] = {HashKind::Crc32, HashKind::Md5, HashKind::Sha1, HashKind::Sha256, HashKind::Sha512,
                              HashKind::Xxh64};
    const HashKind* kind = nullptr;
    for (const HashKind& k : kinds) {
        if (std::strcmp(hash_name(k), argv[1]) == 0) kind = &k;
    }
    struct stat info {};
    if (!kind || ::stat(argv[2], &info) != 0) return 2;
    const std::atomic<bool> cancel{false};
    const HashOutcome outcome = hash_range(argv[2], *kind, 0, uint64_t(info.st_size), cancel, [](uint64_t) {});
    if (outcome.kind != HashOutcome::Kind::Done) {
        std::fprintf(stderr, "%s\n", outcome.error.c_str());
        return 1;
    }
    std::printf("%s\n", outcome.digest.c_str());
    return 0;
}
