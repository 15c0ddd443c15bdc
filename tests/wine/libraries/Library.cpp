// The code of every test library; only their version resources differ.
extern "C" int TestLibraryMarker() { return 1; }
