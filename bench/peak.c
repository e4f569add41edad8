/* Runs a program and writes its peak resident memory (kB) to a file: `peak OUT PROGRAM ARGS...`.
 * A process that the bench starts directly inherits the bench's own peak across exec (Linux
 * keeps the high-water mark of the memory it replaces, and posix_spawn shares the bench's), so
 * the program is started from this small process instead. */
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 3) {
        return 2;
    }
    const pid_t child = fork();
    if (child == 0) {
        execv(argv[2], argv + 2);
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (child < 0 || wait4(child, &status, 0, &usage) < 0) {
        return 2;
    }
    FILE* out = fopen(argv[1], "w");
    if (out != NULL) {
#ifdef __APPLE__
        fprintf(out, "%ld\n", usage.ru_maxrss / 1024); /* bytes there */
#else
        fprintf(out, "%ld\n", usage.ru_maxrss);
#endif
        fclose(out);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
