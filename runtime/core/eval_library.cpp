#include "runtime/core/eval_library.h"

#include <string>

#include "runtime/core/core.h"

namespace {
const char* library_function_name(int32_t code) {
  switch (code) {
    case 15: return "CHS";     case 16: return "SIN";     case 17: return "COS";
    case 18: return "TAN";     case 19: return "COT";     case 20: return "ATAN";
    case 21: return "SQRT";    case 22: return "ACOS";    case 23: return "MIN";
    case 24: return "MAX";     case 25: return "PIXEL";   case 26: return "MOD";
    case 27: return "ABS";     case 28: return "ATAN2";   case 29: return "RND";
    case 30: return "TIME";    case 31: return "DATE";    case 32: return "DSTR";
    case 33: return "IDATE";   case 34: return "DAYS";    case 35: return "NINT";
    case 36: return "IAND";    case 37: return "IOR";     case 38: return "IXOR";
    case 39: return "AND";     case 40: return "OR";      case 41: return "NOT";
    case 42: return "XOR";     case 43: return "EQV";     case 44: return "LOG";
    case 45: return "EXP";     case 46: return "RAD";     case 47: return "DEG";
    case 48: return "RGB";     case 49: return "KBSTAT";  case 50: return "KEYBD";
    case 51: return "QUERY";   case 52: return "WIN";     case 53: return "MOUSE";
    case 54: return "ARG";     case 55: return "UPCASE";  case 56: return "COMPRESS";
    case 57: return "COLLAPSE"; case 58: return "LOWCASE"; case 59: return "INDEX";
    case 60: return "ENDEX";   case 61: return "VERIFY";  case 62: return "EVERIFY";
    case 63: return "SCAN";    case 64: return "ESCAN";   case 65: return "ALL";
    case 69: return "STRING";  case 70: return "VALUE";   case 71: return "ISTR";
    case 72: return "IVAL";    case 73: return "RSTR";    case 74: return "RVAL";
    case 75: return "LEN";     case 76: return "ASC";     case 77: return "TRIM";
    case 78: return "RTRIM";
    default: return nullptr;
  }
}
}  // namespace

void eval_library_function(int32_t code, int32_t /*operand*/) {
  const char* name = library_function_name(code);
  if (name == nullptr) {
    report_error("Funktion unbekannt: " + std::to_string(code), 32000);
    return;
  }
  report_error(std::string("Funktion nicht gebaut: ") + name, 32000);
}
