// The code-page layer's interface inside the library. The exported conversions, UGetConCp and
// UUpCase are declared in kq/text.h.
#pragma once

namespace kq::ui {

// Upper-cases length bytes in place by the rules of a code page: each character is mapped to
// its Unicode upper case, and a character whose upper case the code page lacks (or takes a
// different number of bytes for) stays as it is, as do bytes that are no character. 0, or -1
// for a null buffer, a negative length or a code page the system cannot convert. UUpCase is
// this with the console's code page.
int UpCaseInCodePage(int codePage, char* buffer, int length);

}  // namespace kq::ui
