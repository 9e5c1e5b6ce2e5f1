#include <cstdio>

int main()
{
    std::puts("Quandrel is built; the program has no main window yet.");
    return 0;
}
