#include <cstdio>
int main() {
    std::fprintf(stderr, "kivsql: not built yet\n");
    return 1;
}
