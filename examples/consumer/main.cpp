// Loads a model file with the KORLIX driver, runs a command over it (default: build) and prints the report
// as korlix-host prints it; the record file text is not written anywhere.
//
//     korlix_consumer MODEL [check|simulate|build|run]
#include <iostream>
#include <string>

#include <korlix/driver.hpp>

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: korlix_consumer MODEL [check|simulate|build|run]\n";
        return 2;
    }
    try {
        korlix::RunOptions options;
        options.command = argc == 3 ? argv[2] : "build";
        options.json = false;
        const korlix::Report report = korlix::run(korlix::Model::load(argv[1]), options);
        std::cout << report.text();
        return report.exitCode();
    } catch (const korlix::Error& e) {
        std::cerr << "korlix_consumer: " << e.what() << "\n";
        return 2;
    }
}
