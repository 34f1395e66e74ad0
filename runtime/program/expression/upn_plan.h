// An expression's plan: its codes cut into steps when it is compiled, so that the evaluator does
// not look at each code's neighbours again on every run.  A step is one code, or a run of codes
// the evaluator does as one ("&a __STO", "&a #c op", "&a &b op" with or without a following
// "&d __STO", "#k _ARG", "%a __STO", "&j %a" with or without "__STO"), or one numeric or text
// function called straight, or a stretch of codes that only the general path runs (texts, the
// other functions, references).  The evaluator still checks at run time every variable a step names
// (its type and run-time array can change) and the room on the stack, and runs a step's codes
// one by one on the general path when a check fails.  Where every step qualifies, the plan is also
// made, once per stamp, into operations on the variables' words (line_op), which run the
// expression without the plan loop.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/program/upn_store.h"

enum upn_step_kind : uint8_t {
  step_codes,              // codes with no step of their own: each on the general path
  step_label,              // "?:n"
  step_constant,           // "#c"
  step_variable,           // "&v"
  step_element,            // "%v"
  step_jump_true,          // "?Tn"
  step_jump_false,         // "?Fn"
  step_add,                // "_+" .. the numeric comparisons: the operators on the stack
  step_subtract,
  step_multiply,
  step_divide,
  step_equal,              // "=", "#", "<", ">", "<=", ">=" on numbers, each a step of its own so
  step_not_equal,          // that one dispatch finds the operation
  step_less,
  step_greater,
  step_less_equal,
  step_greater_equal,
  step_store,              // "__STO"
  step_argument,           // "_ARG" on the top
  step_constant_argument,  // "#k _ARG", k = 1..10
  step_variable_store,     // "&a __STO"
  step_variable_operator,  // "&a #c op" or "&a &b op", with "&d __STO" when `stores`
  step_element_store,      // "%a __STO": the element numbered by the top gets the value below it
  step_variable_element,   // "&j %a": element j of a, with "__STO" when `stores`
  step_function,           // a numeric function called straight (upn_function_steps.h)
  step_text_function,      // a text function called straight, on the evaluator's own stack
};

// A variable operand of a step resolved to its words: the first run of a plan under the current
// stamp (`upn_plans.generation`) fills these in, later runs under the same stamp use them without
// looking the variable up.  `word` is nullptr for an operand that does not qualify (not an
// integer, real or pointer variable of the numeric space, a run-time array, or a word outside
// the space): its step then takes the general path with its reports.
struct resolved_operand {
  uint32_t* word = nullptr;  // element 1 in ADRSPACE
  int32_t variable = 0;      // what a read leaves in the last reference
  int32_t type = 0;          // var_integer, var_real or var_pointer
  int32_t start = 0;         // the element position a read of element 1 leaves
  int32_t dimension = 0;     // "%" operands: the elements 1..dimension all lie in the space
};

// A step names which codes go together; the operand words are read from the codes when the step
// runs, or resolved once per stamp (`operands`) (only the compiler writes codes, and it plans every
// expression it compiles).
struct upn_step {
  upn_step_kind kind = step_codes;
  uint8_t operator_kind = step_add;  // step_variable_operator: step_add .. step_greater_equal
  bool second_is_variable = false;   // step_variable_operator: "&a &b op", else "&a #c op"
  bool stores = false;               // step_variable_operator: "&d __STO" follows; step_variable_element: "__STO"
  int32_t at = 0;                    // index of its first code
  int32_t codes = 1;                 // how many codes it covers
  int32_t op = 0;                    // its first code; the operator's of a step_variable_operator
  // Its variable operands in code order: "&v", "%v", "&a __STO", "%a __STO": the variable;
  // "&a x op [&d __STO]": a, then b where x is "&b", then d; "&j %a": j, then a.
  std::array<resolved_operand, 3> operands{};
};

// One step of a plan as an operation on the variables' words, made under the current stamp from
// the step and its resolved operands (line_ops.h): the form in which an expression whose steps all
// qualify runs, alone or in a loop of lines.
enum class line_op_kind : uint8_t {
  constant,                // "#c"
  variable,                // "&a"
  argument,                // "_ARG": the top is k
  constant_argument,       // "#k _ARG"
  binary,                  // "_+" .. ">=" on the two values on the top
  operate,                 // "&a #c op", "&a &b op"
  operate_store,           // the same, then "&d __STO"
  store,                   // "&a __STO"
  element,                 // "%a": the top is the element number
  element_store,           // "%a __STO": the top is the element number, the value below it
  variable_element,        // "&j %a"
  variable_element_store,  // "&j %a __STO": the value on the top
  function,                // a numeric function of one or two arguments on the top (numeric_functions.h)
  // Neighbours done as one, where an element takes part (the loops that fill and sum arrays):
  operate_element_store,   // "&a x op" then "&j %b __STO": b(j) = a op x
  element_operate,         // "&a", "&j %b", "op": a op b(j)
  element_operate_store,   // the same, then "&d __STO": d = a op b(j)
  binary_store,            // "op" then "&d __STO": d = the two values on the top, operated
};

// What the run switches on: the kind, for the binary operators and the "&a x op" steps the
// operation as well, and for the functions the function (its code from CHS on), so that one
// dispatch finds both.
inline constexpr int32_t line_operation_count = step_greater_equal - step_add + 1;
inline constexpr int32_t line_function_count = upn_deg - upn_chs + 1;
inline constexpr uint8_t line_binary_code = static_cast<uint8_t>(line_op_kind::binary_store) + 1;
inline constexpr uint8_t line_binary_store_code = line_binary_code + line_operation_count;
// (The kinds with variable operands take twice as many codes: the second half for operands that
// are all integers.)
inline constexpr uint8_t line_operate_code = line_binary_store_code + line_operation_count;
inline constexpr uint8_t line_operate_store_code = line_operate_code + 2 * line_operation_count;
inline constexpr uint8_t line_operate_element_store_code = line_operate_store_code + 2 * line_operation_count;
inline constexpr uint8_t line_element_operate_code = line_operate_element_store_code + 2 * line_operation_count;
inline constexpr uint8_t line_element_operate_store_code = line_element_operate_code + 2 * line_operation_count;
inline constexpr uint8_t line_function_code = line_element_operate_store_code + 2 * line_operation_count;
inline constexpr int32_t line_code_count = line_function_code + line_function_count;
static_assert(line_code_count <= 256);

// What an expression's operations leave: its results are the values on the stack; the registers
// name `reference`, at `position`, or the element of the last "%" operand.
struct line_op_end {
  int32_t results = 0;
  bool stored = false;
  bool element_named = false;        // the registers name the element of the last "%" operand
  bool position_of_element = false;  // its position is `position` plus that element
  int32_t reference = 0;
  int32_t position = 1;
};

struct line_op {
  line_op_kind kind = line_op_kind::constant;
  uint8_t code = 0;                 // the kind, with the operation where it has one
  uint8_t operation = step_add;     // binary, operate*, *operate*: step_add .. step_greater_equal
  bool second_is_variable = false;  // operate*: "&a &b op", else "&a #c op"
  bool logs = false;                // stores: the old word is kept, since a later step of the line can fail
  bool ends_line = false;           // the expression's last operation
  // The ops with "&j %b": j is an integer and the array has at most 2^24 elements, so that the
  // element j names is j itself (every element number in range is exact as a float).
  bool integer_index = false;
  uint32_t constant = 0;            // constant, operate* with "#c"; constant_argument: k; function: its code
  // The operands: "&a", "%a", "&a __STO": a; "&a x op [&d __STO]": a, b, d; "&j %b": j in
  // index, b in array.
  resolved_operand a, b, d, index, array;
  // The last operation: what the expression leaves.
  line_op_end end;
};

// Expression n's steps are steps[step_first .. step_end - 1]; the plan stands for the codes
// first..last it was made from.
struct upn_plan {
  int32_t first = 0, last = -1;
  int32_t step_first = 0, step_end = 0;
  // The stamp its steps' operands were resolved under (0: never; the stamp is at least 1 once a
  // plan exists).
  uint32_t resolved = 0;
  // Its operations under the stamp it was resolved under: ops[op_first .. op_first + op_count - 1],
  // none where a step does not qualify.  The room for them is taken once (a plan always makes as
  // many), so that making them again under another stamp writes the same place.
  int32_t op_first = 0;
  int32_t op_count = 0;
  int32_t op_room = 0;
};

struct upn_plans_t {
  std::vector<upn_plan> plans;  // by expression number
  std::vector<upn_step> steps;
  std::vector<line_op> ops;  // the plans' operations (upn_plan::op_first)
  // The stamp: moves on whenever codes or plans are replaced or added, and whenever a variable's
  // address, type or size can change (the layout routines of program_image.h and the sizing of
  // the table and the numeric space): resolved operands are resolved again, and an evaluation that
  // ran code which moved it (a program loaded from a function) stops following its plan.
  uint32_t generation = 0;

  // Expression n's plan when it already ran under the current stamp, else nullptr: it was then
  // found for the codes expression n has now, and they cannot have changed since without moving
  // the stamp.
  upn_plan* ready(int32_t n) {
    // (Bytes compared: no division by the record's size.)
    const size_t at = static_cast<uint32_t>(n);
    const size_t bytes = static_cast<size_t>(reinterpret_cast<const char*>(plans.data() + plans.size()) -
                                             reinterpret_cast<const char*>(plans.data()));
    if (at * sizeof(upn_plan) >= bytes) return nullptr;
    upn_plan& p = plans[at];
    return p.resolved == generation ? &p : nullptr;
  }

  // Expression n's plan, or nullptr when there is none for codes first..last.
  upn_plan* plan(int32_t n, int32_t first, int32_t last) {
    // (Pointers compared: no division by the record's size.)
    if (n < 0 || plans.data() + n >= plans.data() + plans.size()) return nullptr;
    upn_plan& p = plans[static_cast<size_t>(n)];
    return p.first == first && p.last == last && p.step_end > p.step_first ? &p : nullptr;
  }
};

extern upn_plans_t upn_plans;

// Makes expression n's plan from its compiled codes (the compiler calls it last).
void plan_upn(int32_t n);
// Drops every plan (the codes were released or replaced).
void clear_upn_plans();
