#pragma once
#include <memory>

class TDataModule6;
class TForm1;
class TForm23;
class TForm2;
class TForm5;
class TForm8;
class TForm9;
class TForm11;

/// The windows created after the login, each once for the whole run, and the journal's ways
/// to them.
class Windows {
public:
    Windows(TDataModule6& dm, TForm1& form1, TForm23& form23);
    ~Windows();
    Windows(const Windows&) = delete;
    Windows& operator=(const Windows&) = delete;

    std::unique_ptr<TForm2> Form2;
    std::unique_ptr<TForm5> Form5;
    std::unique_ptr<TForm8> Form8;
    std::unique_ptr<TForm9> Form9;
    std::unique_ptr<TForm11> Form11;
};
