#pragma once

#include <cstddef>

#include "sections/Section.h"
#include "text/Text.h"

// Splits the bytes of aircraft.cfg into sections. The bytes may arrive in chunks of any size.
//
// The layout, as this program reads it:
// - A line ends at LF; a CR right before that LF belongs to the line end. Any other CR is an
//   ordinary character, and so is 0x1A. A last line without a line end is still a line.
// - A header line is one whose first character other than space or tab is '['. A '[' further
//   along (a commented-out "//[fltsim.3]", a value that mentions one) leaves a body line alone.
// - A section is a header line and the body lines up to the next header line. Lines before the
//   first header line form a leading section with an empty header.
// - A UTF-8 byte-order mark at the very start belongs to the file and is kept in the list.
// - A NUL byte anywhere refuses the whole input: that is a binary or UTF-16 file, and rewriting
//   it as text would destroy it.
class SectionParser {
  public:
    explicit SectionParser(SectionList& list);

    // False once the input is refused; failure() then says why and the list must be discarded.
    bool feed(const char* bytes, std::size_t count);
    // Ends the input. The list then holds at least one section, even for an empty file.
    bool finish();
    const Text& failure() const { return failure_; }

  private:
    void settleStart();
    bool take(const char* bytes, std::size_t count);
    bool endLine(const char* chars, std::size_t count, bool brokenByLf);
    void closeSection();
    void handOver();
    bool refuse(const char* why);

    SectionList& list_;
    Text line_;    // the part of the current line that came in earlier chunks
    Text header_;  // of the section being collected
    Text body_;    // of the section being collected, reused from section to section
    unsigned char start_[3] = {0, 0, 0};
    int startCount_ = 0;
    bool startSettled_ = false;
    bool failed_ = false;
    Text failure_;
};

// The whole input in one call, for callers that already hold it in memory. On failure the list
// is left empty.
bool parseSections(const char* bytes, std::size_t count, SectionList& list, Text& failure);
