// The one route of names: a cut text is refused with IOERROR 36 and the WARNUNG line.
#include "runtime/program/names.h"

#include <cerrno>
#include <map>

#include "runtime/program/file_units.h"
#include "runtime/program/program.h"
#include "runtime/program/program_image.h"

bool whole_or_refused(const program_text& name) {
  if (!name.cut) return true;
  io_status = ENAMETOOLONG;
  report_open_failure(name.text, io_status);
  return false;
}

std::optional<std::string> whole_name(const program_text& name) {
  if (!whole_or_refused(name)) return std::nullopt;
  return std::string(blank_trimmed(name.text));
}

// ---------------------------------------------------------------- text variables
namespace {

struct cut_text_mark {
  int32_t length = 0;
  int32_t kept = 0;
  std::string characters;  // the element's characters when the mark was set
};
// By the element's first position.
std::map<int32_t, cut_text_mark> cut_texts;

}  // namespace

bool cut_texts_stored = false;

int32_t marked_text_kept(int32_t start, int32_t length) {
  const auto found = cut_texts.find(start);
  if (found == cut_texts.end() || found->second.length != length) return -1;
  // Characters written since by another way than a store: the mark no longer belongs to them.
  if (STRING_BUFFER.view(start, length) != found->second.characters) return -1;
  return found->second.kept;
}

void note_text_store(int32_t start, int32_t length, int32_t kept) {
  if (kept < 0) {
    cut_texts.erase(start);
    cut_texts_stored = !cut_texts.empty();
    return;
  }
  cut_texts[start] = cut_text_mark{length, kept, std::string(STRING_BUFFER.view(start, length))};
  cut_texts_stored = true;
}

void forget_cut_texts() {
  cut_texts.clear();
  cut_texts_stored = false;
}
