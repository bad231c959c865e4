#pragma once

class Frame;
class ListView;
class ProgressBar;
class PushButton;
class QWidget;
class SummaryBox;
class TextBox;

// The window's controls under their designed names, found among its children by name, for
// whoever looks at the window from outside (the self-check, tests, benchmarks). The window keeps
// its own set private; its subsystems are handed only the controls they touch.
struct FormControls {
    explicit FormControls(const QWidget& form);

    ListView* ListView1 = nullptr;
    ListView* ListView3 = nullptr;
    TextBox* Text1 = nullptr;
    SummaryBox* Text4 = nullptr;
    ProgressBar* ProgressBar1 = nullptr;
    PushButton* PushButton1 = nullptr;
    PushButton* PushButton2 = nullptr;
    PushButton* PushButton4 = nullptr;
    PushButton* PushButton6 = nullptr;
    PushButton* PushButton8 = nullptr;
    PushButton* PushButton9 = nullptr;
    PushButton* PushButton11 = nullptr;
    PushButton* PushButton12 = nullptr;
    PushButton* PushButton13 = nullptr;
    PushButton* PushButton14 = nullptr;
    PushButton* PushButton15 = nullptr;
    PushButton* PushButton16 = nullptr;
    Frame* Frame1 = nullptr;
    Frame* Frame4 = nullptr;
};
