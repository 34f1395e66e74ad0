// The loaded program: code records, and the stores the loader sizes from [INIT].
#pragma once

#include <array>
#include <cstdint>
#include <vector>

// One compiled command (indexed from 1).
struct code_record {
  int32_t target = 0;       // ":" field: code index of a jump, call or event target
  int32_t expression = 0;   // "%" field: UPN expression of the operands
  int32_t second = 0;       // "&" field
  int32_t token1 = 0;       // first "@" field
  int32_t token2 = 0;       // second "@" field
  int32_t flags = 0;        // "/" option flag mask
  int32_t opcode = 0;       // 1..47
  std::array<char, 40> text{};  // command text, blank-padded
};

struct program_image_t {
  std::vector<code_record> codes;  // codes[0] unused; 1..code_count
  int32_t code_count = 0;
};
extern program_image_t program_image;
