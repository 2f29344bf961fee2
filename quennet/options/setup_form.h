// The setup dialog "Export to AutoCAD" as a form apart from its drawing: the
// state of every control the options touch, and the form's operations. The
// window (dialog_fltk*) shows this state and feeds the user's changes back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "abi/hostbase.h"
#include "quennet/options/options.h"

namespace quennet {

struct TCheckControl {
  bool Checked = false;
  bool Enabled = true;
};

struct TComboControl {
  std::vector<std::string> Items;
  int ItemIndex = 0;  // -1: no item selected
  bool Enabled = true;
  // A drop-down list accepts only its items: any other index selects none.
  void Select(int64_t index) {
    ItemIndex =
        index >= 0 && index < static_cast<int64_t>(Items.size()) ? static_cast<int>(index) : -1;
  }
};

class TPCBExportSetup {
 public:
  TPCBExportSetup(std::string fileName, abi::IHostUnknown* board);

  static constexpr const char* kCaption = "Export to AutoCAD";

  // Radio buttons of one group: checking one unchecks the others; unchecking
  // one leaves the others as they are.
  enum RadioGroup { kLayers, kZeroWidth, kComponents, kEnds };
  struct TRadioButton : TCheckControl {
    RadioGroup Group;
  };

  TCheckControl CBHoles;
  TComboControl CMBVersion, CMBFormat, CMBUnits, CMBHoles;
  std::string HolesLabel;
  TRadioButton RBLayersAll{{}, kLayers}, RBLayersVisible{{}, kLayers};
  TRadioButton RBZeroLineWidthsNone{{}, kZeroWidth}, RBZeroLineWidthsAll{{}, kZeroWidth},
      RBZeroLineWidthsSelected{{}, kZeroWidth};
  TRadioButton RBCompExportAsBlocks{{}, kComponents}, RBCompExportAsPrimitives{{}, kComponents};
  TRadioButton RBRoundedEnds{{}, kEnds}, RBSquareEnds{{}, kEnds};

  void SetChecked(TRadioButton& button, bool checked);

  // Loads the options from the store into the record, then shows them.
  void OptionsToControls(TExportOptions& options);
  // Copies the controls into the record, then saves it to the store.
  void ControlsToOptions(TExportOptions& options);
  // The two halves of the above without the store.
  void ShowOptions(const TExportOptions& options);
  void ReadControls(TExportOptions& options) const;

  std::string HolesExplanation() const;
  void CBHolesClick();
  void CMBHolesChange();

  abi::IHostUnknown* Board() const { return board_; }

 private:
  std::vector<TRadioButton*> Buttons();
  std::string fileName_;
  abi::IHostUnknown* board_;
};

// Shows the dialog (unless the system is in test mode) and, on OK or in test
// mode, stores the options: true. Cancel: false, nothing stored.
bool RunSetupDialog(const std::string& fileName, abi::IHostUnknown* board);

// True when the registry key of the test mode exists.
bool IsTestMode();

}  // namespace quennet
