#pragma once
// The Strong's lexicons installed as SWORD dictionary modules: the Greek
// numbers' entries in "StrongsGreek" (Debian's sword-dict-strongs-greek), the
// Hebrew numbers' in "StrongsHebrew" (sword-dict-strongs-hebrew). Nothing of
// them is copied into the concordance: entries are read where the user has
// the modules.

#include "concordance/lexicon.h"
#include "concordance/strongs.h"

#include <optional>

namespace concordance::lexicon {

// The entry of `number`. Null when the lexicon of its language is not
// installed, or has no entry of that number; `message` then says which, and
// for a missing lexicon how to install it.
std::optional<Entry> lookUp(const StrongsNumber& number, QString* message = nullptr);

} // namespace concordance::lexicon
