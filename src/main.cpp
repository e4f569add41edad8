// Process entry: hands the argument vector to the command table, which never returns.
#include "commands.h"

int main(int argc, char** argv) {
    commands::run(argc, argv);
}
