#include "FormControls.h"

#include "Controls.h"
#include "SummaryBox.h"

#include <QWidget>

namespace {

template <class Control> void find(const QWidget& form, Control*& control, const char* name) {
    control = form.findChild<Control*>(QString::fromLatin1(name));
}

} // namespace

FormControls::FormControls(const QWidget& form) {
    find(form, ListView1, "ListView1");
    find(form, ListView3, "ListView3");
    find(form, Text1, "Text1");
    find(form, Text4, "Text4");
    find(form, ProgressBar1, "ProgressBar1");
    find(form, PushButton1, "PushButton1");
    find(form, PushButton2, "PushButton2");
    find(form, PushButton4, "PushButton4");
    find(form, PushButton6, "PushButton6");
    find(form, PushButton8, "PushButton8");
    find(form, PushButton9, "PushButton9");
    find(form, PushButton11, "PushButton11");
    find(form, PushButton12, "PushButton12");
    find(form, PushButton13, "PushButton13");
    find(form, PushButton14, "PushButton14");
    find(form, PushButton15, "PushButton15");
    find(form, PushButton16, "PushButton16");
    find(form, Frame1, "Frame1");
    find(form, Frame4, "Frame4");
}
