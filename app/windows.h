#pragma once

class TDataModule6;
class TForm1;
class TForm23;

/// The windows created after the login, each once for the whole run, and the journal's ways
/// to them.
class Windows {
public:
    Windows(TDataModule6& dm, TForm1& form1, TForm23& form23);
    ~Windows();
    Windows(const Windows&) = delete;
    Windows& operator=(const Windows&) = delete;

private:
    TDataModule6& m_dm;
    TForm1& m_form1;
    TForm23& m_form23;
};
