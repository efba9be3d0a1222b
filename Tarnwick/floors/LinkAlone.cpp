// Nothing runs here: the build links one floor whole into this program, with only what that
// floor links itself, so a reference to a floor above it cannot resolve (Floors.cmake).
int main() { return 0; }
