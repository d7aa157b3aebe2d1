#include "common/AnsiCodePage.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace {

// One converter per thread and direction, kept for the thread's life: an
// export converts hundreds of thousands of short values, and opening a
// converter costs several times more than converting one.
class Converter
{
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter()
    {
        if (Valid())
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t Handle() const { return m_cd; }

private:
    iconv_t m_cd;
};

iconv_t ToGbk()
{
    thread_local const Converter converter("GBK", "UTF-16LE");
    return converter.Valid() ? converter.Handle() : nullptr;
}

iconv_t FromGbk()
{
    thread_local const Converter converter("UTF-16LE", "GBK");
    return converter.Valid() ? converter.Handle() : nullptr;
}

// Converts with iconv, putting '?' in place of every unit the target cannot
// hold; iconv's //TRANSLIT would invent look-alikes, which the code page does not.
std::string Convert(iconv_t cd, const char* in, size_t inLeft, size_t unitSize, const char* replacement,
                    size_t replacementSize)
{
    std::string out;
    if (inLeft == 0 || !cd)
        return out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr); // the state the last text left
    out.resize(inLeft * 2 + 16);
    char* src = const_cast<char*>(in);
    size_t used = 0;
    while (inLeft > 0) {
        if (out.size() - used < 16)
            out.resize(out.size() * 2);
        char* dst = out.data() + used;
        size_t outLeft = out.size() - used;
        const size_t rc = iconv(cd, &src, &inLeft, &dst, &outLeft);
        used = out.size() - outLeft;
        if (rc != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ or EINVAL: skip one input unit (a UTF-16 pair as one) and mark it.
        size_t skip = unitSize;
        if (unitSize == 2 && inLeft >= 4) {
            const auto hi = static_cast<unsigned char>(src[1]);
            if (hi >= 0xD8 && hi <= 0xDB)
                skip = 4;
        }
        if (skip > inLeft)
            skip = inLeft;
        src += skip;
        inLeft -= skip;
        if (out.size() - used < replacementSize)
            out.resize(out.size() * 2);
        out.replace(used, replacementSize, replacement, replacementSize);
        used += replacementSize;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(used);
    return out;
}

} // namespace

namespace AnsiCodePage {

std::string FromUnicode(const QString& text)
{
    return Convert(ToGbk(), reinterpret_cast<const char*>(text.utf16()),
                   static_cast<size_t>(text.size()) * 2, 2, "?", 1);
}

QString ToUnicode(std::string_view bytes)
{
    // Most names are ASCII, which GBK leaves as it is.
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const std::string wide = Convert(FromGbk(), bytes.data(), bytes.size(), 1, "?\0", 2);
    return QString(reinterpret_cast<const QChar*>(wide.data()), static_cast<qsizetype>(wide.size() / 2));
}

} // namespace AnsiCodePage
