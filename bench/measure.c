/* bench-measure: runs a command and prints its wall time in seconds, its peak resident memory
 * in KiB and its processor time in seconds ("SECONDS KIB CPU") on the last line of stderr, or into the file
 * given with -o. Output of the command goes where its own redirections send it. */
#define _GNU_SOURCE
#include <stdio.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv) {
    const char* report = NULL;
    int first = 1;
    if (argc > 2 && strcmp(argv[1], "-o") == 0) {
        report = argv[2];
        first = 3;
    }
    if (first >= argc) {
        fputs("usage: bench-measure [-o FILE] COMMAND [ARGS]...\n", stderr);
        return 2;
    }
    struct timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t child = fork();
    if (child == 0) {
        execvp(argv[first], argv + first);
        perror(argv[first]);
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (child < 0 || wait4(child, &status, 0, &usage) < 0) {
        perror("bench-measure");
        return 1;
    }
    clock_gettime(CLOCK_MONOTONIC, &end);
    double seconds = (double)(end.tv_sec - start.tv_sec) + (double)(end.tv_nsec - start.tv_nsec) / 1e9;
    FILE* out = report ? fopen(report, "w") : stderr;
    if (!out) {
        perror(report);
        return 1;
    }
    double cpu = (double)(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 (double)(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    fprintf(out, "%.6f %ld %.6f\n", seconds, usage.ru_maxrss, cpu);
    if (report) fclose(out);
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 1;
}
