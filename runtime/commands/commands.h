// The handlers of the 47 commands, one per opcode; the interpreter dispatches on the opcode.
// A handler reports its own errors or sets call_state.command_error.
#pragma once

#include "runtime/program/program_image.h"
#include "runtime/program/pxb_reader.h"

void cmd_CALL(code_record& rec);  // opcode 1
void cmd_EVENT(code_record& rec);  // opcode 2
void cmd_RETURN(code_record& rec);  // opcode 3
void cmd_EXPR(code_record& rec);  // opcode 4 ("%" expression line)
void cmd_JMP(code_record& rec);  // opcode 5
void cmd_JZ(code_record& rec);  // opcode 6
void cmd_JNZ(code_record& rec);  // opcode 7
void cmd_MESS(code_record& rec);  // opcode 8
void cmd_RUN(code_record& rec);  // opcode 9
void cmd_SELECT(code_record& rec);  // opcode 10
void cmd_COMBO(code_record& rec);  // opcode 11
void cmd_QUERY(code_record& rec);  // opcode 12
void cmd_SUBMEN(code_record& rec);  // opcode 13
void cmd_HOTKEY(code_record& rec);  // opcode 14
void cmd_QUIT(code_record& rec);  // opcode 15
void cmd_SOUND(code_record& rec);  // opcode 16
void cmd_COLOR(code_record& rec);  // opcode 17
void cmd_ORIGIN(code_record& rec);  // opcode 18
void cmd_SHOW(code_record& rec);  // opcode 19
void cmd_HELP(code_record& rec);  // opcode 20
void cmd_FILE(code_record& rec);  // opcode 21
void cmd_TEXT(code_record& rec);  // opcode 22
void cmd_TEXTB(code_record& rec);  // opcode 23
void cmd_MOUSE(code_record& rec);  // opcode 24
void cmd_PRINT(code_record& rec);  // opcode 25
void cmd_WINDOW(code_record& rec);  // opcode 26
void cmd_WINMGR(code_record& rec);  // opcode 27
void cmd_ARC(code_record& rec);  // opcode 28
void cmd_LINE(code_record& rec);  // opcode 29
void cmd_PIXEL(code_record& rec);  // opcode 30
void cmd_MOVE(code_record& rec);  // opcode 31
void cmd_DRAW(code_record& rec);  // opcode 32
void cmd_PLOT(code_record& rec);  // opcode 33
void cmd_BUTTON(code_record& rec);  // opcode 34
void cmd_MENU(code_record& rec);  // opcode 35
void cmd_ASSIGN(code_record& rec);  // opcode 36
void cmd_GOTO(code_record& rec);  // opcode 37
void cmd_BTNMGR(code_record& rec);  // opcode 38
void cmd_FORMAT(code_record& rec);  // opcode 39
void cmd_OUTPUT(code_record& rec);  // opcode 40
void cmd_BOX(code_record& rec);  // opcode 41
void cmd_AREA(code_record& rec);  // opcode 42
void cmd_CIRCLE(code_record& rec);  // opcode 43
void cmd_FLOOD(code_record& rec);  // opcode 44
void cmd_LSTMGR(code_record& rec);  // opcode 45
void cmd_SQL(code_record& rec);  // opcode 46
void cmd_ARRAY(code_record& rec);  // opcode 47
void array_command_reset();  // the ARRAY chart layout back to zero; for tests
