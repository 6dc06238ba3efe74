// list-reference: the six word-list files of a text, computed from its verse
// table on their own, to check what Build writes. It shares nothing with Build
// but the verse table's file: it reads Bible.db with SQLite's C API, splits the
// verses by the word rule as the user's guide words it, counts in memory and
// writes the files with formatting code of its own.
//
//   list-reference TEXTFOLDER NAME OUTFOLDER
//       writes NAME_Freq.txt, NAME_List.txt, NAME_Alpha.txt, NAME_Length.txt,
//       NAME_CharFreq.txt and NAME_Pcre.txt into OUTFOLDER.
//   list-reference --normalize FILE
//       prints FILE with the header's path and date lines blanked and the
//       words of equal count (or length), and the letters of equal count, in
//       byte order: the parts of the files that are left open.
//
// Exit status 0, or 1 with a message on standard error.

#include "tools/listdate.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// --- the word rule ---------------------------------------------------------------
// Bytes are signed: 0 ends the text; 1 to 32 and all bytes above 127 separate
// words; the ASCII punctuation is skipped before a word and trimmed from its
// end back to an apostrophe; a word starts at a letter, digit or DEL and runs
// over the bytes 33 to 127; A to Z are lower-cased.

bool punctuation(unsigned char c) {
    return (c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 96) ||
           (c >= 123 && c <= 126);
}
bool partOfWord(unsigned char c) {
    return c >= 33 && c <= 127;
}

std::vector<std::string> splitVerse(const char* text) {
    std::vector<std::string> words;
    std::size_t i = 0;
    const std::size_t n = std::strlen(text);
    while (i < n) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!partOfWord(c) || punctuation(c)) {
            ++i;
            continue;
        }
        std::string word;
        while (i < n && partOfWord(static_cast<unsigned char>(text[i]))) {
            char b = text[i++];
            if (b >= 'A' && b <= 'Z')
                b = static_cast<char>(b + 32);
            word += b;
        }
        while (!word.empty() && word.back() != '\'' &&
               punctuation(static_cast<unsigned char>(word.back())))
            word.pop_back();
        words.push_back(word);
    }
    return words;
}

// --- counting --------------------------------------------------------------------

struct Text {
    std::map<std::string, long long> counts; // word → occurrences, in byte order
    long long occurrences = 0;
};

bool readText(const std::string& file, Text& text, std::string& error) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        error = file + ": " + sqlite3_errmsg(db);
        sqlite3_close(db);
        return false;
    }
    sqlite3_stmt* rows = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT * FROM \"Bible\" ORDER BY 1", -1, &rows, nullptr) !=
        SQLITE_OK) {
        error = file + ": " + sqlite3_errmsg(db);
        sqlite3_close(db);
        return false;
    }
    const long long largest = 2147483647LL;
    long long lastKey = -1LL << 40; // the highest occurrence key taken so far
    int step;
    while ((step = sqlite3_step(rows)) == SQLITE_ROW) {
        const long long key = sqlite3_column_int64(rows, 0);
        const auto* raw = reinterpret_cast<const char*>(sqlite3_column_text(rows, 1));
        std::vector<std::string> words = splitVerse(raw ? raw : "");
        // 255 keys per verse; a verse whose keys would pass the largest is out.
        if (words.size() > 255)
            words.resize(255);
        if (key + static_cast<long long>(words.size()) > largest)
            continue;
        if (!words.empty() && key + 1 <= lastKey)
            break; // a taken key ends the indexing
        for (const std::string& word : words)
            ++text.counts[word];
        text.occurrences += static_cast<long long>(words.size());
        if (!words.empty())
            lastKey = key + static_cast<long long>(words.size());
    }
    const bool ok = step == SQLITE_DONE || step == SQLITE_ROW;
    if (!ok)
        error = file + ": " + sqlite3_errmsg(db);
    sqlite3_finalize(rows);
    sqlite3_close(db);
    return ok;
}

// --- formatting ------------------------------------------------------------------

std::string grouped(long long value) {
    const std::string digits = std::to_string(value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

// count × 100 / total as a float, its exact decimal expansion rounded (halves
// up) at the seventh significant digit or the sixth decimal, whichever comes
// first, then six decimals with a comma after the third.
std::string floatPercent(long long count, long long total) {
    // The float nearest to the exact quotient: the long double quotient is
    // close enough to it for every total below 2^31.
    const float share =
        total > 0 ? static_cast<float>(static_cast<long double>(count) * 100 / total) : 0.0f;
    char exact[128];
    std::snprintf(exact, sizeof exact, "%.60f", static_cast<double>(share));
    std::string whole = std::string(exact).substr(0, std::strchr(exact, '.') - exact);
    std::string fraction = std::strchr(exact, '.') + 1;
    const int wholeDigits = whole == "0" ? 1 : static_cast<int>(whole.size());
    const std::size_t keep = static_cast<std::size_t>(std::min(6, 7 - wholeDigits));
    std::string digits = whole + fraction.substr(0, keep);
    if (fraction[keep] >= '5') {
        int i = static_cast<int>(digits.size()) - 1;
        while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9')
            digits[static_cast<std::size_t>(i--)] = '0';
        if (i < 0)
            digits.insert(digits.begin(), '1');
        else
            ++digits[static_cast<std::size_t>(i)];
    }
    digits += std::string(6 - keep, '0');
    const std::string wholePart = digits.substr(0, digits.size() - 6);
    const std::string decimals = digits.substr(digits.size() - 6);
    return std::to_string(std::stoll(wholePart)) + "." + decimals.substr(0, 3) + "," +
           decimals.substr(3);
}

// count × 100 / total to the nearest hundredth, halves up.
std::string hundredths(long long count, long long total) {
    if (total <= 0)
        return "0.00";
    long long q = count * 10000 / total;
    const long long r = count * 10000 % total;
    if (2 * r >= total)
        ++q;
    char out[64];
    std::snprintf(out, sizeof out, "%lld.%02lld", q / 100, q % 100);
    return out;
}

// --- the six files -----------------------------------------------------------------

struct Word {
    std::string text;
    long long count;
    int number;
};

bool writeFile(const std::string& path, const std::string& content, std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    if (!out) {
        error = path + ": cannot be written";
        return false;
    }
    return true;
}

bool writeLists(const Text& text, const std::string& folder, const std::string& name,
                std::string& error) {
    std::vector<Word> words;
    for (const auto& [word, count] : text.counts)
        words.push_back({word, count, static_cast<int>(words.size()) + 1});
    if (words.size() > 32767) {
        error = "more than 32,767 distinct words: Build makes no lists";
        return false;
    }
    const std::string base = folder + "/" + name;
    const std::string totals = "\r\n" + today() + "\r\nTotal word count " +
                               grouped(text.occurrences) + "\r\nDifferent words " +
                               grouped(static_cast<long long>(words.size())) + "\r\n\r\n";
    const auto header = [&](const std::string& path) { return path + totals; };

    // Most frequent first; equal counts in word order.
    std::vector<Word> byCount = words;
    std::stable_sort(byCount.begin(), byCount.end(),
                     [](const Word& a, const Word& b) { return a.count > b.count; });
    std::string freq = header(base + "_Freq.txt") + "Word\tCount\tPercent\r\n\r\n";
    for (const Word& w : byCount)
        freq += w.text + "\t" + grouped(w.count) + "\t" + floatPercent(w.count, text.occurrences) +
                " %\r\n";
    freq += "\r\n\r\n";

    std::string list = header(base + "_List.txt");
    std::string alpha = header(base + "_Alpha.txt") + "Word\tCount\r\n\r\n";
    std::string pcre;
    for (const Word& w : words) {
        list += w.text + "\r\n";
        alpha += w.text + "\t" + grouped(w.count) + "\r\n";
        pcre += w.text + "\n";
    }
    list += "\r\n\r\n";
    alpha += "\r\n\r\n";

    // Longest first; equal lengths in word order.
    std::vector<Word> byLength = words;
    std::stable_sort(byLength.begin(), byLength.end(),
                     [](const Word& a, const Word& b) { return a.text.size() > b.text.size(); });
    std::string length = header(base + "_Length.txt") + "Word\tCount\r\n";
    std::size_t shown = 0;
    for (const Word& w : byLength) {
        if (w.text.size() != shown) {
            shown = w.text.size();
            length += "\r\n\t\tWords " + std::to_string(shown) + " characters long\r\n";
        }
        length += w.text + "\t" + grouped(w.count) + "\r\n";
    }
    length += "\r\n\r\n";

    std::string chars = header(base + "_CharFreq.txt") +
                        "Frequency of word length occurrence\r\n\r\n"
                        "Length\tDifferent\tTotal\tPercent of total\r\n";
    std::map<std::size_t, std::pair<long long, long long>, std::greater<>> lengths;
    for (const Word& w : words) {
        lengths[w.text.size()].first += 1;
        lengths[w.text.size()].second += w.count;
    }
    if (lengths.empty())
        lengths[0] = {0, 0};
    for (const auto& [size, tally] : lengths)
        chars += std::to_string(size) + "\t" + grouped(tally.first) + "\t" + grouped(tally.second) +
                 "\t" + hundredths(tally.second, text.occurrences) + " %\r\n";
    std::array<long long, 256> perByte{};
    for (const Word& w : words)
        for (unsigned char c : w.text)
            perByte[c] += w.count;
    long long all = 0;
    for (long long n : perByte)
        all += n;
    chars +=
        "\r\n\r\nFrequency of character occurrence\r\n\r\nDec\tGlyph\tCount\tPercent\tGraph\r\n";
    for (int c = 0; c < 256; ++c) {
        const long long n = perByte[static_cast<std::size_t>(c)];
        if (n == 0)
            continue;
        const std::string glyph = c == 127 ? "del" : std::string(1, static_cast<char>(c));
        chars += std::to_string(c) + "\t" + glyph + "\t" + grouped(n) + "\t" + hundredths(n, all) +
                 " %\t" + std::string(static_cast<std::size_t>(n * 300 / all + 1), '-') + "\r\n";
    }
    chars += "\r\n\r\nTotal character count: " + grouped(all);
    chars += "\r\n\r\nCharacters sorted by frequency of occurrence\r\n\r\n";
    std::string letters = "abcdefghijklmnopqrstuvwxyz";
    std::stable_sort(letters.begin(), letters.end(), [&](char a, char b) {
        return perByte[static_cast<unsigned char>(a)] > perByte[static_cast<unsigned char>(b)];
    });
    chars += letters + "\r\n\r\n";

    return writeFile(base + "_Freq.txt", freq, error) &&
           writeFile(base + "_List.txt", list, error) &&
           writeFile(base + "_Alpha.txt", alpha, error) &&
           writeFile(base + "_Length.txt", length, error) &&
           writeFile(base + "_CharFreq.txt", chars, error) &&
           writeFile(base + "_Pcre.txt", pcre, error);
}

// --- normalizing -------------------------------------------------------------------

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string field(const std::string& line, int n) {
    std::istringstream in(line);
    std::string part;
    for (int i = 0; i <= n && std::getline(in, part, '\t'); ++i) {
    }
    return part;
}

// Sorts each run of consecutive lines in [from, to) whose `key` is the same.
template <typename Key>
void sortRuns(std::vector<std::string>& lines, std::size_t from, std::size_t to, Key key) {
    std::size_t start = from;
    for (std::size_t i = from + 1; i <= to; ++i) {
        if (i == to || key(lines[i]) != key(lines[start])) {
            std::sort(lines.begin() + static_cast<long>(start),
                      lines.begin() + static_cast<long>(i));
            start = i;
        }
    }
}

int normalize(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "list-reference: cannot read %s\n", path.c_str());
        return 1;
    }
    const std::string content((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = content.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(content.substr(start, end - start));
    lines.push_back(content.substr(start));

    if (!endsWith(path, "_Pcre.txt") && lines.size() > 2) {
        lines[0] = "<path>";
        lines[1] = "<date>";
    }
    if (endsWith(path, "_Freq.txt")) {
        std::size_t from = 0;
        while (from < lines.size() && lines[from] != "Word\tCount\tPercent\r")
            ++from;
        from += 2;
        std::size_t to = from;
        while (to < lines.size() && endsWith(lines[to], " %\r"))
            ++to;
        if (from < to)
            sortRuns(lines, from, to, [](const std::string& l) { return field(l, 1); });
    } else if (endsWith(path, "_Length.txt")) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].rfind("\t\tWords ", 0) != 0)
                continue;
            std::size_t to = i + 1;
            while (to < lines.size() && lines[to] != "\r" && !lines[to].empty())
                ++to;
            std::sort(lines.begin() + static_cast<long>(i) + 1,
                      lines.begin() + static_cast<long>(to));
        }
    } else if (endsWith(path, "_CharFreq.txt")) {
        std::map<char, std::string> letterCount;
        for (const std::string& l : lines) {
            const std::string dec = field(l, 0);
            if (!dec.empty() && dec.find_first_not_of("0123456789") == std::string::npos) {
                const int c = std::stoi(dec);
                if (c >= 'a' && c <= 'z' && l.find(" %\t") != std::string::npos)
                    letterCount[static_cast<char>(c)] = field(l, 2);
            }
        }
        for (std::size_t i = 0; i + 2 < lines.size(); ++i) {
            if (lines[i] != "Characters sorted by frequency of occurrence\r")
                continue;
            std::string& run = lines[i + 2];
            const bool cr = !run.empty() && run.back() == '\r';
            std::vector<std::string> letters;
            for (char c : run.substr(0, run.size() - (cr ? 1 : 0)))
                letters.push_back(std::string(1, c));
            sortRuns(letters, 0, letters.size(), [&](const std::string& l) {
                const auto it = letterCount.find(l[0]);
                return it == letterCount.end() ? std::string("0") : it->second;
            });
            run.clear();
            for (const std::string& l : letters)
                run += l;
            if (cr)
                run += '\r';
        }
    }
    for (std::size_t i = 0; i < lines.size(); ++i)
        std::fputs((lines[i] + (i + 1 < lines.size() ? "\n" : "")).c_str(), stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--normalize") == 0)
        return normalize(argv[2]);
    if (argc != 4) {
        std::fputs("usage: list-reference TEXTFOLDER NAME OUTFOLDER\n"
                   "       list-reference --normalize FILE\n",
                   stderr);
        return 1;
    }
    Text text;
    std::string error;
    if (!readText(std::string(argv[1]) + "/Bible.db", text, error) ||
        !writeLists(text, argv[3], argv[2], error)) {
        std::fprintf(stderr, "list-reference: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
