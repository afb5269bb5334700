// Compiles the tests' shared precompiled headers; it holds no code of its own.
