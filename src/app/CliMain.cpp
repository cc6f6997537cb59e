#include <cstdio>

// The command-line front-end: to be built.
int main() {
    std::fputs("logdump-cli: not built yet\n", stderr);
    return 2;
}
