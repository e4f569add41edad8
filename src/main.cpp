// Process entry: hands the argument vector to the command dispatch, which never returns.
#include "frame/dispatch.h"

int main(int argc, char** argv) {
    frame::run(argc, argv);
}
