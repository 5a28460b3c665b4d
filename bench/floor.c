/* The floor of a bunkai run: what the machine needs to do the same file-system work and
 * nothing else. It reads the export front to back, makes the same folders, writes the same
 * files with the same bytes, and reads the same music files whole, each once, with plain
 * system calls and no parsing.
 *
 * Usage: floor PLAN EXPORT SCANNED_LIST, run in an empty working folder.
 *   PLAN is made by floor_plan.py from the tree of a bunkai run: records "D <n>\n" followed
 *   by a folder path of n bytes, or "F <n> <m>\n" followed by a file path of n bytes and the
 *   file's m bytes, parents before children.
 *   SCANNED_LIST holds the music files' paths, one a line.
 * Exit status 0 on success, 1 on any failure (with a message on standard error). */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

enum { kBlock = 1 << 20 };

static char block[kBlock];

static void fail(const char* what, const char* path) {
    fprintf(stderr, "floor: %s %s: %s\n", what, path, strerror(errno));
    exit(1);
}

/* Reads a whole file through `block`; returns the bytes read. */
static long long readWhole(const char* path) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        fail("cannot open", path);
    }
    long long total = 0;
    ssize_t got;
    while ((got = read(fd, block, sizeof block)) > 0) {
        total += got;
    }
    if (got < 0) {
        fail("cannot read", path);
    }
    close(fd);
    return total;
}

/* Loads a whole file into memory (the plan and the list of music files). */
static char* load(const char* path, size_t* size) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0) {
        fail("cannot open", path);
    }
    char* data = malloc((size_t)info.st_size + 1);
    size_t have = 0;
    while (data && have < (size_t)info.st_size) {
        ssize_t got = read(fd, data + have, (size_t)info.st_size - have);
        if (got <= 0) {
            fail("cannot read", path);
        }
        have += (size_t)got;
    }
    if (!data) {
        fail("out of memory for", path);
    }
    close(fd);
    data[have] = '\0';
    *size = have;
    return data;
}

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: floor PLAN EXPORT SCANNED_LIST\n");
        return 2;
    }
    readWhole(argv[2]);

    size_t size;
    char* plan = load(argv[1], &size);
    char path[8192];
    for (size_t at = 0; at < size;) {
        char kind;
        size_t pathLength = 0, dataLength = 0;
        int used = 0;
        if (sscanf(plan + at, "%c %zu%n", &kind, &pathLength, &used) < 2) {
            fprintf(stderr, "floor: bad plan record at byte %zu\n", at);
            return 1;
        }
        at += (size_t)used;
        if (kind == 'F') {
            if (sscanf(plan + at, " %zu%n", &dataLength, &used) < 1) {
                fprintf(stderr, "floor: bad plan record at byte %zu\n", at);
                return 1;
            }
            at += (size_t)used;
        }
        at += 1; /* the line feed */
        if (pathLength >= sizeof path || at + pathLength + dataLength > size) {
            fprintf(stderr, "floor: bad plan record at byte %zu\n", at);
            return 1;
        }
        memcpy(path, plan + at, pathLength);
        path[pathLength] = '\0';
        at += pathLength;
        if (kind == 'D') {
            if (mkdir(path, 0777) != 0) {
                fail("cannot make", path);
            }
            continue;
        }
        int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0 || write(fd, plan + at, dataLength) != (ssize_t)dataLength || close(fd) != 0) {
            fail("cannot write", path);
        }
        at += dataLength;
    }

    char* list = load(argv[3], &size);
    for (char* line = list; *line;) {
        char* end = strchr(line, '\n');
        if (end) {
            *end = '\0';
        }
        readWhole(line);
        if (!end) {
            break;
        }
        line = end + 1;
    }
    return 0;
}
