#include "quennet/options/setup_form.h"

namespace quennet {

TPCBExportSetup::TPCBExportSetup(std::string fileName, abi::IHostUnknown* board)
    : fileName_(std::move(fileName)), board_(board) {
  CMBVersion.Items = {"V2.5", "V2.6", "R9", "R10", "R11, R12", "R13", "R14"};
  CMBFormat.Items = {"DWG", "DXF"};
  CMBUnits.Items = {"Imperial ", "Metric "};
  CMBHoles.Items = {"On dedicated hole layers", "On the pad or via layer"};
}

std::vector<TPCBExportSetup::TRadioButton*> TPCBExportSetup::Buttons() {
  return {&RBLayersAll,
          &RBLayersVisible,
          &RBZeroLineWidthsNone,
          &RBZeroLineWidthsAll,
          &RBZeroLineWidthsSelected,
          &RBCompExportAsBlocks,
          &RBCompExportAsPrimitives,
          &RBRoundedEnds,
          &RBSquareEnds};
}

void TPCBExportSetup::SetChecked(TRadioButton& button, bool checked) {
  button.Checked = checked;
  if (!checked) return;
  for (TRadioButton* other : Buttons())
    if (other != &button && other->Group == button.Group) other->Checked = false;
}

void TPCBExportSetup::ShowOptions(const TExportOptions& o) {
  SetChecked(o.OnlyVisibleLayers ? RBLayersVisible : RBLayersAll, true);
  CMBVersion.Select(o.AcadVersion);
  CMBFormat.Select(o.OutputFormat);
  CMBUnits.Select(o.Units);
  CBHoles.Checked = o.HoleMode != 0;
  CMBHoles.Select(o.HoleMode - 1 < 0 ? 0 : static_cast<int64_t>(o.HoleMode) - 1);
  CMBHoles.Enabled = CBHoles.Checked;
  HolesLabel = HolesExplanation();
  SetChecked(RBZeroLineWidthsAll, o.ZeroWidthLines == 1);
  SetChecked(RBZeroLineWidthsSelected, o.ZeroWidthLines == 2);
  SetChecked(RBZeroLineWidthsNone, o.ZeroWidthLines == 0);
  SetChecked(RBCompExportAsBlocks, o.ComponentsMode == 0);
  SetChecked(RBCompExportAsPrimitives, o.ComponentsMode != 0);
  SetChecked(RBRoundedEnds, o.RoundedTracks);
  SetChecked(RBSquareEnds, !o.RoundedTracks);
}

void TPCBExportSetup::ReadControls(TExportOptions& o) const {
  o.OnlyVisibleLayers = RBLayersVisible.Checked;
  // A list showing no item (its stored value was outside its items) gives no
  // value: the record keeps the one just loaded rather than storing -1.
  if (CMBVersion.ItemIndex >= 0) o.AcadVersion = CMBVersion.ItemIndex;
  if (CMBFormat.ItemIndex >= 0) o.OutputFormat = CMBFormat.ItemIndex;
  if (CMBUnits.ItemIndex >= 0) o.Units = CMBUnits.ItemIndex;
  // Likewise when no zero-width button is checked.
  if (RBZeroLineWidthsNone.Checked)
    o.ZeroWidthLines = 0;
  else if (RBZeroLineWidthsAll.Checked)
    o.ZeroWidthLines = 1;
  else if (RBZeroLineWidthsSelected.Checked)
    o.ZeroWidthLines = 2;
  o.ComponentsMode = RBCompExportAsBlocks.Checked ? 0 : 1;
  if (!CBHoles.Checked)
    o.HoleMode = 0;
  else if (CMBHoles.ItemIndex >= 0)
    o.HoleMode = CMBHoles.ItemIndex + 1;
  o.RoundedTracks = RBRoundedEnds.Checked;
}

std::string TPCBExportSetup::HolesExplanation() const {
  if (!CBHoles.Checked) return "Pads and vias holes will not be exported.";
  std::string text = "Pads and vias holes will be exported. ";
  switch (CMBHoles.ItemIndex) {
    case 0:
      text +=
          "A pad hole layer and via hole layer will be created in the exported file. "
          "Pad and via holes will be exported on that layer.";
      break;
    case 1:
      text +=
          "Pads and via holes will be exported as doughnuts on the same layer as the pad or via.";
      break;
    default:
      break;
  }
  return text.substr(0, 255);
}

void TPCBExportSetup::CBHolesClick() {
  HolesLabel = HolesExplanation();
  CMBHoles.Enabled = CBHoles.Checked;
}

void TPCBExportSetup::CMBHolesChange() {
  HolesLabel = HolesExplanation();
}

}  // namespace quennet
