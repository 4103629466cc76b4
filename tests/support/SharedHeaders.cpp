// The unit that the test programs' shared precompiled headers are compiled for; it holds nothing
// of its own.
