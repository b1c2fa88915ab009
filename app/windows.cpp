#include "app/windows.h"
#include "app/login_window.h"
#include "data/data_module.h"
#include "journal/journal_window.h"

Windows::Windows(TDataModule6& dm, TForm1& form1, TForm23& form23) : m_dm(dm), m_form1(form1), m_form23(form23) {}

Windows::~Windows() = default;
