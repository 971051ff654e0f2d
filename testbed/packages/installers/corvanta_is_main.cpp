// The information server's program as the test machine's package installs it:
// it only tells what it is, so a test can see the installed file is ours.
#include <windows.h>

#include <cstdio>

int main() {
    std::printf("CorvantaIS 10.1 information server (test machine build)\n");
    return 0;
}
