// The glTF library's implementation, compiled once, with the warnings of its
// own code kept quiet.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define TINYGLTF_IMPLEMENTATION
#include "tinygltf_here.h"
#pragma GCC diagnostic pop
