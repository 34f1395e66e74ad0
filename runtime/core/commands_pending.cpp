// Commands whose handlers are not built yet: each reports that clearly and the program goes on
// only as the reporter decides.  A command leaves this file when its handler is written.
#include "runtime/core/commands.h"
#include "runtime/core/core.h"

#include <string>

namespace {
void not_built(const code_record& rec) {
  report_error(std::string("Befehl nicht gebaut: ") + command_name(rec.opcode), 32000);
}
}  // namespace


const char* command_name(int32_t opcode) {
  static const char* const names[48] = {"?",
      "CALL", "EVENT", "RETURN", "%", "JMP", "JZ", "JNZ", "MESS", "RUN", "SELECT", "COMBO", "QUERY", "SUBMEN", "HOTKEY", "QUIT", "SOUND", "COLOR", "ORIGIN", "SHOW", "HELP", "FILE", "TEXT", "TEXTB", "MOUSE", "PRINT", "WINDOW", "WINMGR", "ARC", "LINE", "PIXEL", "MOVE", "DRAW", "PLOT", "BUTTON", "MENU", "ASSIGN", "GOTO", "BTNMGR", "FORMAT", "OUTPUT", "BOX", "AREA", "CIRCLE", "FLOOD", "LSTMGR", "SQL", "ARRAY"};
  return opcode >= 1 && opcode <= 47 ? names[opcode] : "ARRAY";
}
