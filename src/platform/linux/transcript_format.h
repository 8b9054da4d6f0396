// Turns a recognizer hypothesis ("i think i'm done <sil> the(2) end") into
// text as a person would type it ("I think I'm done the end"): filler and
// noise tokens and pronunciation-variant markers dropped, the pronoun "I"
// capitalised, and the first letter of the transcript in upper case.
//
// Pure function; called on the recognition thread.
#ifndef ORLIMBO_PLATFORM_LINUX_TRANSCRIPT_FORMAT_H_
#define ORLIMBO_PLATFORM_LINUX_TRANSCRIPT_FORMAT_H_

#include <string>
#include <string_view>

namespace orlimbo {

std::string formatTranscript(std::string_view hypothesis);

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_TRANSCRIPT_FORMAT_H_
