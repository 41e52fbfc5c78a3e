// conversion_floor DOCUMENT TEXT: the floor of a conversion as a process of
// its own (see conversion_floor.h), for timing `exqrv DOCUMENT /FOLDER`
// against it from outside, start-up and exit included. The working copy is
// $TMPDIR/floor-PID.TMP. Exit status 0 when every page expanded.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "conversion_floor.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: conversion_floor DOCUMENT TEXT\n");
    return 2;
  }
  const char* temporary = std::getenv("TMPDIR");
  const std::string folder = temporary != nullptr && temporary[0] != '\0' ? temporary : "/tmp";
  const std::string copy = folder + "/floor-" + std::to_string(::getpid()) + ".TMP";
  return exqrv::bench::ConvertAtFloor(argv[1], copy, argv[2]) ? 0 : 1;
}
