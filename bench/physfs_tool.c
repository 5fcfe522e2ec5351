/* physfs-tool: the PhysicsFS reference of the benchmark, as an application would use the library.
 *
 *   physfs-tool list ARCHIVE           prints every file of ARCHIVE, one path a line
 *   physfs-tool extract ARCHIVE DIR    writes every file of ARCHIVE below DIR, folders included
 */
#include <physfs.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

static char buffer[1 << 20];

static const char* lastError(void) {
    const char* text = PHYSFS_getErrorByCode(PHYSFS_getLastErrorCode());
    return text ? text : "unknown error";
}

static int extractFile(const char* path, const char* target) {
    PHYSFS_File* in = PHYSFS_openRead(path);
    if (!in) {
        fprintf(stderr, "physfs-tool: %s: %s\n", path, lastError());
        return 0;
    }
    size_t length = strlen(target) + strlen(path) + 2;
    char* out = malloc(length);
    snprintf(out, length, "%s/%s", target, path);
    FILE* file = fopen(out, "wb");
    int ok = file != NULL;
    while (ok) {
        PHYSFS_sint64 got = PHYSFS_readBytes(in, buffer, sizeof buffer);
        if (got < 0) ok = 0;
        if (got <= 0) break;
        if (fwrite(buffer, 1, (size_t)got, file) != (size_t)got) ok = 0;
    }
    if (file && fclose(file) != 0) ok = 0;
    if (!ok) fprintf(stderr, "physfs-tool: cannot write %s\n", out);
    free(out);
    PHYSFS_close(in);
    return ok;
}

static int walk(const char* folder, const char* target) {
    char** names = PHYSFS_enumerateFiles(folder);
    int ok = names != NULL;
    for (char** n = names; ok && *n; ++n) {
        size_t length = strlen(folder) + strlen(*n) + 2;
        char* path = malloc(length);
        snprintf(path, length, "%s%s%s", folder, *folder ? "/" : "", *n);
        PHYSFS_Stat st;
        if (!PHYSFS_stat(path, &st)) {
            ok = 0;
        } else if (st.filetype == PHYSFS_FILETYPE_DIRECTORY) {
            if (target) {
                size_t dl = strlen(target) + strlen(path) + 2;
                char* dir = malloc(dl);
                snprintf(dir, dl, "%s/%s", target, path);
                if (mkdir(dir, 0755) != 0 && errno != EEXIST) ok = 0;
                free(dir);
            }
            if (ok) ok = walk(path, target);
        } else if (target) {
            ok = extractFile(path, target);
        } else {
            puts(path);
        }
        free(path);
    }
    PHYSFS_freeList(names);
    return ok;
}

int main(int argc, char** argv) {
    int extract = argc == 4 && strcmp(argv[1], "extract") == 0;
    if (!(argc == 3 && strcmp(argv[1], "list") == 0) && !extract) {
        fputs("usage: physfs-tool list ARCHIVE | extract ARCHIVE DIR\n", stderr);
        return 2;
    }
    if (!PHYSFS_init(argv[0]) || !PHYSFS_mount(argv[2], NULL, 0)) {
        fprintf(stderr, "physfs-tool: %s: %s\n", argv[2], lastError());
        return 1;
    }
    if (extract) mkdir(argv[3], 0755);
    int ok = walk("", extract ? argv[3] : NULL);
    PHYSFS_deinit();
    return ok ? 0 : 1;
}
