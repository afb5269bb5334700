#include "app/Main.h"

int main(int argc, char* argv[]) {
    return ignivex::Main(argc, argv);
}
