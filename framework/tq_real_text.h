// A real as text that reads back as the same double: where a message sets values side by side,
// two different values never read alike, and a value copied from it is the one named.
#pragma once

// `value` as printf's "%.*g" writes it with `leastDigits` significant digits (1 to 15) where
// that reads back as the same double; otherwise in the fewest digits that do (the shortest
// round-trip form), laid out as "%.*g" lays out that many: fixed from 1e-4 up to the digits'
// reach, with an exponent of two digits at least beyond it, trailing zeros dropped. With 1 digit
// that is the shortest form throughout: 0.1 + 0.2 reads "0.30000000000000004" and 1e6 "1e+06".
// With 15, a value that "%.15g" writes rightly reads as it did ("1000000", "0.05"), and one it
// does not gets the 16 or 17 digits that tell it from its neighbours ("0.16132000000000002").
// A value that is not finite reads as "%g" writes it ("inf", "-inf", "nan"). The C locale's
// decimal point, whatever the process's locale.
struct RealText {
  explicit RealText(double value, int leastDigits = 1);

  // A sign, 17 digits, a point and four zeros before the digits ("-0.0000...", the least
  // exponent "%g" writes without one): 24 characters at the most, and the end.
  char text[32];
};
