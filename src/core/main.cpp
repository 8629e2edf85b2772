#include "core/application.h"

#include <exception>
#include <iostream>

// The one exit point: every failure arrives here as an exception.
int main(int argc, char** argv) {
    if (argc <= 1) {
        std::cerr << "usage: " << argv[0] << " filename\n";
        return -1;
    }
    Application app;
    app.set_fname(argv[1]);
    try {
        app.run();
    } catch (const std::exception& e) {
        std::cerr << e.what() << std::endl;
        return 1;
    }
    return 0;
}
