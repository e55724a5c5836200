// Placeholder entry point until the main window exists: it says so and exits.
#include <cstdio>

int main() {
    std::puts("Rexmill: the main window is not built yet; this build carries the batch engine "
              "and its tests only (run 'make test').");
    return 0;
}
