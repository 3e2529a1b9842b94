// Conversions between Python values and the automaton's: exact factors
// (Fraction, int or "2 4/6"), angles, colours and surfaces, each refused
// with one sentence when the window would refuse it.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>

#include "rational.h"

namespace values {

// A radius factor or rolling rate from a Fraction, an int or a string such
// as "3/2" or "2 4/6", checked by the document's factor rule; what names
// the argument in the message ("radius", "rate").
Rational factor(const pybind11::handle& value, const char* what);
pybind11::object fraction(const Rational& r);
// "3/4", "-2" or any exact rational text to a Fraction.
pybind11::object fraction(const std::string& text);

// An angle in degrees from 0 to 360, for the named control.
double angle(const pybind11::handle& value, const char* what);
// A real number within [low, high].
double within(const pybind11::handle& value, double low, double high, const char* what);

// "#rrggbb" from and to the stored 0x00BBGGRR.
std::string colourText(std::uint32_t stored);
std::uint32_t colour(const pybind11::handle& value);

// A file name as the system can take it: a NUL byte, which would cut the
// name short, or an empty name is refused with one sentence (ValueError).
std::string path(std::string name);

// What the command line says on its standard error as "note: ..." or
// "warning: ...", said to Python as a RotundelWarning (a UserWarning) with
// the sentence alone, capitalised. The category is made once, with the
// module.
void makeWarningCategory(pybind11::module_& m);
void warn(const std::string& said);

// A message as Python is told it: a sentence with a capital and a full
// stop, any value in it longer than a line shortened in the middle.
std::string sentence(std::string text);

// The argument's own type checks, one line each: "axis must be a pair of
// angles (z, x), not NoneType." (TypeError).
[[noreturn]] void wrongType(const std::string& argument, const char* expected,
                            const pybind11::handle& got);
std::string text(const pybind11::handle& value, const std::string& argument);
// A whole number, clamped far beyond any index so that a huge one is
// refused by the range check that follows, not by the conversion.
long long whole(const pybind11::handle& value, const std::string& argument);
// A file name from a str, bytes or os.PathLike, as the system's bytes.
std::string filePath(const pybind11::handle& value, const std::string& argument);

const char* surfaceName(int surface);
int surface(const std::string& name);

}  // namespace values
