// The window of the setup dialog "Export to AutoCAD": draws the form's state
// and feeds the user's changes back through the form's own handlers. Built as
// a module of its own (libquennet_dialog.so), loaded only to show the dialog.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Tabs.H>
#include <FL/x.H>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/platform.h"
#include "quennet/options/setup_form.h"
#include "quennet/options/setup_window.h"

namespace quennet {
namespace {

constexpr int kFontSize = 11;  // 8 points at 96 dots per inch

Fl_Group* GroupBox(int x, int y, int w, int h, const char* label) {
  auto* g = new Fl_Group(x, y, w, h, label);
  g->box(FL_ENGRAVED_FRAME);
  g->align(FL_ALIGN_TOP_LEFT | FL_ALIGN_INSIDE);
  g->labelsize(kFontSize);
  return g;
}

template <class W>
W* Sized(W* w) {
  w->labelsize(kFontSize);
  return w;
}

class SetupWindow {
 public:
  explicit SetupWindow(TPCBExportSetup& form) : form_(form) { Build(); }

  platform::ModalResult Run() {
    window_->set_modal();
    window_->position((Fl::w() - window_->w()) / 2, (Fl::h() - window_->h()) / 2);
    window_->show();
    while (window_->shown()) Fl::wait();
    return result_;
  }

 private:
  // Places a control relative to its parent, as the form's design gives it.
  static int X(Fl_Widget* parent, int x) { return parent->x() + x; }
  static int Y(Fl_Widget* parent, int y) { return parent->y() + y; }

  Fl_Choice* List(Fl_Group* parent, int x, int y, int w, int h, const TComboControl& combo) {
    auto* c = Sized(new Fl_Choice(X(parent, x), Y(parent, y), w, h));
    c->textsize(kFontSize);
    for (const std::string& item : combo.Items) c->add(item.c_str(), 0, nullptr, nullptr, 0);
    c->value(combo.ItemIndex);  // -1 shows no item
    return c;
  }
  Fl_Round_Button* Radio(Fl_Group* parent, int x, int y, int w, int h, const char* label,
                         const TCheckControl& control) {
    auto* b = Sized(new Fl_Round_Button(X(parent, x), Y(parent, y), w, h, label));
    b->type(FL_RADIO_BUTTON);
    b->value(control.Checked ? 1 : 0);
    return b;
  }
  Fl_Box* Label(Fl_Group* parent, int x, int y, const char* text) {
    auto* b = Sized(new Fl_Box(X(parent, x), Y(parent, y), 100, 14, text));
    b->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    return b;
  }

  void Build() {
    window_ = std::make_unique<Fl_Double_Window>(398, 479, TPCBExportSetup::kCaption);
    window_->labelsize(kFontSize);
    window_->callback(
        [](Fl_Widget*, void* self) {
          // Closing the window or Escape: Cancel.
          static_cast<SetupWindow*>(self)->Close(platform::ModalResult::Cancel);
        },
        this);

    auto* tabs = new Fl_Tabs(3, 2, 393, 439);
    auto* page = new Fl_Group(3, 22, 393, 419, "Setup");
    page->labelsize(kFontSize);

    Fl_Group* g1 = GroupBox(X(page, 6), Y(page, 6), 371, 69, " Options ");
    Label(g1, 11, 20, "AutoCAD Version");
    Label(g1, 135, 20, "Format");
    Label(g1, 259, 20, "Units");
    version_ = List(g1, 11, 36, 100, 21, form_.CMBVersion);
    format_ = List(g1, 135, 36, 100, 21, form_.CMBFormat);
    units_ = List(g1, 259, 36, 100, 21, form_.CMBUnits);
    g1->end();

    Fl_Group* g4 = GroupBox(X(page, 6), Y(page, 80), 371, 91, " Holes ");
    holes_ = Sized(new Fl_Check_Button(X(g4, 12), Y(g4, 18), 173, 17, "Export pads and via holes"));
    holes_->value(form_.CBHoles.Checked ? 1 : 0);
    holes_->callback([](Fl_Widget*, void* self) { static_cast<SetupWindow*>(self)->HolesClick(); },
                     this);
    holesList_ = List(g4, 188, 16, 170, 21, form_.CMBHoles);
    holesList_->callback(
        [](Fl_Widget*, void* self) { static_cast<SetupWindow*>(self)->HolesChange(); }, this);
    holesLabel_ = Sized(new Fl_Box(X(g4, 13), Y(g4, 43), 348, 38));
    holesLabel_->align(FL_ALIGN_TOP_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
    g4->end();

    Fl_Group* g3 = GroupBox(X(page, 6), Y(page, 176), 180, 66, " Components ");
    blocks_ = Radio(g3, 11, 19, 113, 17, "Export as blocks", form_.RBCompExportAsBlocks);
    primitives_ =
        Radio(g3, 11, 40, 113, 17, "Export as primitives", form_.RBCompExportAsPrimitives);
    g3->end();

    Fl_Group* g2 = GroupBox(X(page, 197), Y(page, 176), 180, 66, " Tracks and Arcs ");
    rounded_ = Radio(g2, 11, 19, 158, 17, "Export with rounded ends", form_.RBRoundedEnds);
    square_ = Radio(g2, 11, 40, 150, 17, "Export with square ends", form_.RBSquareEnds);
    g2->end();

    Fl_Group* z =
        GroupBox(X(page, 6), Y(page, 247), 371, 82, "Primitives To Export With Zero Line Widths");
    zeroNone_ = Radio(z, 11, 16, 113, 17, "None", form_.RBZeroLineWidthsNone);
    zeroAll_ = Radio(z, 11, 37, 113, 17, "All", form_.RBZeroLineWidthsAll);
    zeroSelected_ = Radio(z, 11, 58, 113, 17, "Selected", form_.RBZeroLineWidthsSelected);
    z->end();

    Fl_Group* l = GroupBox(X(page, 6), Y(page, 334), 371, 67, "Layers");
    layersAll_ = Radio(l, 11, 16, 113, 17, "All", form_.RBLayersAll);
    layersVisible_ = Radio(l, 11, 37, 347, 17, "Currently Visible Layers", form_.RBLayersVisible);
    l->end();

    page->end();
    tabs->end();

    auto* ok = Sized(new Fl_Return_Button(240, 448, 75, 24, "&OK"));
    ok->callback(
        [](Fl_Widget*, void* self) {
          static_cast<SetupWindow*>(self)->Close(platform::ModalResult::Ok);
        },
        this);
    auto* cancel = Sized(new Fl_Button(321, 448, 75, 24, "Cancel"));
    cancel->callback(
        [](Fl_Widget*, void* self) {
          static_cast<SetupWindow*>(self)->Close(platform::ModalResult::Cancel);
        },
        this);
    window_->end();
    ShowHoles();
  }

  void ShowHoles() {
    holesLabel_->copy_label(form_.HolesLabel.c_str());
    if (form_.CMBHoles.Enabled)
      holesList_->activate();
    else
      holesList_->deactivate();
  }
  void HolesClick() {
    form_.CBHoles.Checked = holes_->value() != 0;
    form_.CMBHoles.ItemIndex = holesList_->value();
    form_.CBHolesClick();
    ShowHoles();
  }
  void HolesChange() {
    form_.CMBHoles.ItemIndex = holesList_->value();
    form_.CMBHolesChange();
    ShowHoles();
  }

  void Close(platform::ModalResult result) {
    if (result == platform::ModalResult::Ok) {
      form_.CMBVersion.ItemIndex = version_->value();
      form_.CMBFormat.ItemIndex = format_->value();
      form_.CMBUnits.ItemIndex = units_->value();
      form_.CMBHoles.ItemIndex = holesList_->value();
      form_.CBHoles.Checked = holes_->value() != 0;
      const std::pair<Fl_Round_Button*, TPCBExportSetup::TRadioButton*> radios[] = {
          {blocks_, &form_.RBCompExportAsBlocks},
          {primitives_, &form_.RBCompExportAsPrimitives},
          {rounded_, &form_.RBRoundedEnds},
          {square_, &form_.RBSquareEnds},
          {zeroNone_, &form_.RBZeroLineWidthsNone},
          {zeroAll_, &form_.RBZeroLineWidthsAll},
          {zeroSelected_, &form_.RBZeroLineWidthsSelected},
          {layersAll_, &form_.RBLayersAll},
          {layersVisible_, &form_.RBLayersVisible},
      };
      for (const auto& [widget, control] : radios) control->Checked = widget->value() != 0;
    }
    result_ = result;
    window_->hide();
  }

  TPCBExportSetup& form_;
  std::unique_ptr<Fl_Double_Window> window_;
  Fl_Choice *version_ = nullptr, *format_ = nullptr, *units_ = nullptr, *holesList_ = nullptr;
  Fl_Check_Button* holes_ = nullptr;
  Fl_Box* holesLabel_ = nullptr;
  Fl_Round_Button *blocks_ = nullptr, *primitives_ = nullptr, *rounded_ = nullptr,
                  *square_ = nullptr, *zeroNone_ = nullptr, *zeroAll_ = nullptr,
                  *zeroSelected_ = nullptr, *layersAll_ = nullptr, *layersVisible_ = nullptr;
  platform::ModalResult result_ = platform::ModalResult::Cancel;
};

}  // namespace
}  // namespace quennet

ORVANTA_EXPORT int32_t QuennetShowSetupDialog(quennet::TPCBExportSetup* form, char* error,
                                              uint32_t errorSize) {
  if (!form) return 0;
  if (!fl_display) {
    // fl_open_display() ends the process when there is no display; ask X first.
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
      std::snprintf(error, errorSize, "cannot open the display %s",
                    std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "(none)");
      return 0;
    }
    XCloseDisplay(d);
  }
  Fl::scheme("gtk+");
  quennet::SetupWindow window(*form);
  return static_cast<int32_t>(window.Run());
}
