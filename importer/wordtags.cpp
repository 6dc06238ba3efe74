#include "importer/wordtags.h"

#include "concordance/versekey.h"
#include "concordance/wordrule.h"

namespace wordtags {

namespace {

void addOnce(QByteArray& list, const QByteArray& item) {
    if (item.isEmpty() || list.split(' ').contains(item))
        return;
    if (!list.isEmpty())
        list += ' ';
    list += item;
}

} // namespace

std::vector<WordTag> tagWords(const std::vector<osis::Run>& runs) {
    QByteArray text;
    std::vector<qsizetype> starts; // where each run begins in `text`
    starts.reserve(runs.size() + 1);
    for (const osis::Run& run : runs) {
        starts.push_back(text.size());
        text += run.text;
    }
    starts.push_back(text.size());

    std::vector<WordTag> tags;
    int position = 0;
    std::size_t first = 0; // the first run that may reach the next word
    for (const concordance::WordSpan& span : concordance::wordSpans(text)) {
        if (++position > concordance::maxWordsPerVerse)
            break;
        const qsizetype end = span.start + span.length;
        while (first < runs.size() && starts[first + 1] <= span.start)
            ++first;
        WordTag tag;
        tag.position = position;
        for (std::size_t r = first; r < runs.size() && starts[r] < end; ++r) {
            const osis::Run& run = runs[r];
            if (!run.inWord || starts[r + 1] == starts[r])
                continue;
            const std::vector<QByteArray> numbers = osis::strongsNumbers(run.lemma);
            if (numbers.empty() && run.morph.isEmpty())
                continue;
            if (tag.element == 0)
                tag.element = run.element;
            for (const QByteArray& number : numbers)
                addOnce(tag.numbers, number);
            for (const QByteArray& code : run.morph.split(' '))
                addOnce(tag.morph, code);
        }
        if (tag.element != 0)
            tags.push_back(tag);
    }
    return tags;
}

} // namespace wordtags
