// Python values in and out, refused with the window's words where it has
// them.
#include "values.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <regex>

#include "automatonstate.h"
#include "documentrules.h"

namespace py = pybind11;

namespace values {

namespace {
// Made with the module and never freed: the interpreter holds the module
// (and so the category) until it ends.
PyObject* warningCategory = nullptr;
}  // namespace

void makeWarningCategory(pybind11::module_& m) {
    warningCategory = PyErr_NewExceptionWithDoc(
        "rotundel.RotundelWarning",
        "What the rotundel program says as a note or a warning of a file it writes.",
        PyExc_UserWarning, nullptr);
    Py_INCREF(warningCategory);
    m.add_object("RotundelWarning", pybind11::handle(warningCategory));
}

void warn(const std::string& said) {
    std::string text = said;
    for (const char* prefix : {"note: ", "warning: "})
        if (text.rfind(prefix, 0) == 0) text = text.substr(std::char_traits<char>::length(prefix));
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = char(text[0] - 'a' + 'A');
    if (PyErr_WarnEx(warningCategory ? warningCategory : PyExc_UserWarning, text.c_str(), 1) != 0)
        throw pybind11::error_already_set();
}

namespace {

const char* const kSurfaces[] = {"solid", "transparent", "mesh", "texture", "none"};

// Looked up once: factors are converted in tight loops. Kept for the life
// of the process, as the module itself is.
py::handle fractionType() {
    static py::handle type =
        py::object(py::module_::import("fractions").attr("Fraction")).release();
    return type;
}

[[noreturn]] void notAFactor() {
    throw py::type_error(
        "A factor is exact: give a fractions.Fraction, an int or a string such as \"3/2\" or "
        "\"2 4/6\".");
}

// Python ints of any size, clamped into what the checks need to see.
long long clampedInt(const py::handle& v) {
    py::int_ big = py::reinterpret_borrow<py::int_>(v);
    static const py::int_ low(-(1LL << 40)), high(1LL << 40);
    if (big < low) return -(1LL << 40);
    if (big > high) return 1LL << 40;
    return big.cast<long long>();
}

}  // namespace

namespace {

// The factor whole + numerator / denominator, or the document's reason why
// not.
Rational checkedFactor(const char* what, long long whole, long long numerator,
                       long long denominator) {
    if (std::string why = rules::factorRefusal(what, whole, numerator, denominator); !why.empty())
        throw py::value_error(why);
    return Rational(static_cast<std::int32_t>(denominator * whole + numerator),
                    static_cast<std::int32_t>(denominator));
}

}  // namespace

Rational factor(const py::handle& value, const char* what) {
    if (py::isinstance<py::bool_>(value)) notAFactor();
    if (py::isinstance<py::str>(value)) {
        // Typed as in the window's fields: "2", "3/2", "2 4/6", "0.5".
        Rational x;
        if (std::string why = rules::typedFactorRefusal(what, value.cast<std::string>(), &x);
            !why.empty())
            throw py::value_error(why);
        return x;
    }
    py::object num, den;
    if (py::isinstance<py::int_>(value)) {
        num = py::reinterpret_borrow<py::object>(value);
        den = py::int_(1);
    } else if (py::isinstance(value, fractionType())) {
        num = value.attr("numerator");
        den = value.attr("denominator");
    } else {
        notAFactor();
    }
    long long n = clampedInt(num), d = clampedInt(den);
    if (n <= 0) throw py::value_error(rules::factorRefusal(what, 0, 0, 1));
    // The whole part and the rest, as the dialog would show them.
    return checkedFactor(what, n / d, n % d, d);
}

py::object fraction(const Rational& r) {
    return fractionType()(r.numerator(), r.denominator());
}

py::object fraction(const std::string& text) {
    return fractionType()(text);
}

double within(const py::handle& value, double low, double high, const char* what) {
    if (py::isinstance<py::bool_>(value) ||
        !(py::isinstance<py::int_>(value) || py::isinstance<py::float_>(value)))
        throw py::type_error(std::string(what) + " must be a number.");
    double v = value.cast<double>();
    if (!(v >= low && v <= high)) {
        char buffer[160];
        std::snprintf(buffer, sizeof buffer, "%s must be between %g and %g.", what, low, high);
        throw py::value_error(buffer);
    }
    return v;
}

double angle(const py::handle& value, const char* what) {
    return within(value, 0, 360, what);
}

std::string colourText(std::uint32_t c) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", c & 0xff, (c >> 8) & 0xff,
                  (c >> 16) & 0xff);
    return buffer;
}

std::uint32_t colour(const py::handle& value) {
    const char* why =
        "A colour is \"#rrggbb\" or three whole numbers (red, green, blue) from 0 to 255.";
    if (py::isinstance<py::str>(value)) {
        static const std::regex form("#([0-9a-fA-F]{2})([0-9a-fA-F]{2})([0-9a-fA-F]{2})");
        std::string text = value.cast<std::string>();
        std::smatch m;
        if (!std::regex_match(text, m, form)) throw py::value_error(why);
        return rgb(std::stoi(m[1], nullptr, 16), std::stoi(m[2], nullptr, 16),
                   std::stoi(m[3], nullptr, 16));
    }
    if (!py::isinstance<py::sequence>(value) || py::len(value) != 3) throw py::value_error(why);
    int c[3];
    for (int i = 0; i < 3; ++i) {
        py::object part = value[py::int_(i)];
        if (!py::isinstance<py::int_>(part) || py::isinstance<py::bool_>(part))
            throw py::value_error(why);
        long long v = clampedInt(part);
        if (v < 0 || v > 255) throw py::value_error(why);
        c[i] = static_cast<int>(v);
    }
    return rgb(c[0], c[1], c[2]);
}

const char* surfaceName(int surface) {
    return surface >= 0 && surface <= 4 ? kSurfaces[surface] : "transparent";
}

int surface(const std::string& name) {
    for (int i = 0; i < 5; ++i)
        if (name == kSurfaces[i]) return i;
    throw py::value_error(
        "A surface is \"solid\", \"transparent\", \"mesh\", \"texture\" or \"none\".");
}

std::string path(std::string name) {
    if (name.empty()) throw py::value_error("A file name cannot be empty.");
    if (name.find('\0') != std::string::npos)
        throw py::value_error("A file name cannot hold a NUL character.");
    return name;
}

namespace {
// Values echoed in a message are kept to what a line shows.
constexpr std::size_t kLongestWord = 80, kKeptHead = 40, kKeptTail = 16;

// Cut at a character's start, never inside a UTF-8 sequence.
std::size_t charStart(const std::string& s, std::size_t at) {
    while (at > 0 && at < s.size() && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80) --at;
    return at;
}
}  // namespace

std::string sentence(std::string text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t end = text.find(' ', i);
        if (end == std::string::npos) end = text.size();
        if (end - i > kLongestWord) {
            // The sentence's own punctuation stays after the note.
            std::size_t last = end;
            while (last > i && std::strchr(".,:;", text[last - 1])) --last;
            const std::size_t head = charStart(text, i + kKeptHead);
            const std::size_t tail = charStart(text, last - kKeptTail);
            out += text.substr(i, head - i) + "..." + text.substr(tail, last - tail) + " (" +
                   std::to_string(last - i) + " bytes)" + text.substr(last, end - last);
        } else {
            out += text.substr(i, end - i);
        }
        if (end < text.size()) out += ' ';
        i = end + 1;
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '\n')) out.pop_back();
    if (out.empty()) return out;
    if (out[0] >= 'a' && out[0] <= 'z') out[0] = char(out[0] - 'a' + 'A');
    const char last = out.back();
    if (last != '.' && last != '?' && last != '!') out += '.';
    return out;
}

void wrongType(const std::string& argument, const char* expected, const py::handle& got) {
    throw py::type_error(argument + " must be " + expected + ", not " +
                         py::str(py::type::handle_of(got).attr("__name__")).cast<std::string>() +
                         ".");
}

std::string text(const py::handle& value, const std::string& argument) {
    if (!py::isinstance<py::str>(value)) wrongType(argument, "a str", value);
    return value.cast<std::string>();
}

long long whole(const py::handle& value, const std::string& argument) {
    if (!py::isinstance<py::int_>(value) || py::isinstance<py::bool_>(value))
        wrongType(argument, "an int", value);
    return clampedInt(value);
}

std::string filePath(const py::handle& value, const std::string& argument) {
    if (!py::isinstance<py::str>(value) && !py::isinstance<py::bytes>(value) &&
        !py::hasattr(value, "__fspath__"))
        wrongType(argument, "a str, bytes or os.PathLike", value);
    // The system's bytes, as open() would use them: bytes as they are, a
    // str encoded as the file system encodes names.
    py::object bytes = py::module_::import("os").attr("fsencode")(value);
    return path(bytes.cast<std::string>());
}

}  // namespace values
