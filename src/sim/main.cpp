// korvex-sim entry point (the simulator itself is not built yet).
#include <cstdio>

int main()
{
    std::fprintf(stderr, "korvex-sim: not built yet\n");
    return 2;
}
