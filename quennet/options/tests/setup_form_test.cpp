#include "quennet/options/setup_form.h"

#include <gtest/gtest.h>

namespace {

using quennet::TExportOptions;
using quennet::TPCBExportSetup;

const std::string kNotExported = "Pads and vias holes will not be exported.";
const std::string kExported = "Pads and vias holes will be exported. ";
const std::string kOnHoleLayers =
    "A pad hole layer and via hole layer will be created in the exported file. Pad and via holes "
    "will be exported on that layer.";
const std::string kAsDoughnuts =
    "Pads and via holes will be exported as doughnuts on the same layer as the pad or via.";

TEST(SetupForm, HolesControlsFollowTheHoleMode) {
  TPCBExportSetup form("out", nullptr);
  TExportOptions o;
  o.HoleMode = 0;
  form.ShowOptions(o);
  EXPECT_FALSE(form.CBHoles.Checked);
  EXPECT_FALSE(form.CMBHoles.Enabled);
  EXPECT_EQ(form.CMBHoles.Items[form.CMBHoles.ItemIndex], "On dedicated hole layers");
  EXPECT_EQ(form.HolesLabel, kNotExported);

  o.HoleMode = 2;
  form.ShowOptions(o);
  EXPECT_TRUE(form.CBHoles.Checked);
  EXPECT_TRUE(form.CMBHoles.Enabled);
  EXPECT_EQ(form.CMBHoles.Items[form.CMBHoles.ItemIndex], "On the pad or via layer");
  EXPECT_EQ(form.HolesLabel, kExported + kAsDoughnuts);

  // The user checks the box with the first item showing, then unchecks it.
  o.HoleMode = 0;
  form.ShowOptions(o);
  form.CBHoles.Checked = true;
  form.CBHolesClick();
  EXPECT_TRUE(form.CMBHoles.Enabled);
  EXPECT_EQ(form.HolesLabel, kExported + kOnHoleLayers);
  EXPECT_EQ(form.HolesLabel.size(), 161u);
  form.CMBHoles.ItemIndex = 1;
  form.CMBHolesChange();
  EXPECT_EQ(form.HolesLabel, kExported + kAsDoughnuts);
  form.CBHoles.Checked = false;
  form.CBHolesClick();
  EXPECT_FALSE(form.CMBHoles.Enabled);
  EXPECT_EQ(form.HolesLabel, kNotExported);
  form.ReadControls(o);
  EXPECT_EQ(o.HoleMode, 0);  // whatever the list shows

  form.CBHoles.Checked = true;
  form.CMBHoles.ItemIndex = -1;
  EXPECT_EQ(form.HolesExplanation(), kExported);
}

TEST(SetupForm, InRangeOptionsPassThroughUnchanged) {
  std::vector<TExportOptions> cases;
  for (int v = 0; v <= 6; ++v)
    for (int z = 0; z <= 2; ++z) {
      TExportOptions o;
      o.AcadVersion = v;
      o.ZeroWidthLines = static_cast<uint8_t>(z);
      o.HoleMode = (v + z) % 3;
      o.Units = v % 2;
      o.OutputFormat = z % 2;
      o.ComponentsMode = static_cast<uint8_t>(v % 2);
      o.RoundedTracks = z != 1;
      o.OnlyVisibleLayers = v > 3;
      cases.push_back(o);
    }
  for (const TExportOptions& in : cases) {
    TPCBExportSetup form("out", nullptr);
    form.ShowOptions(in);
    TExportOptions out;
    out.AcadVersion = -7, out.ZeroWidthLines = 9, out.HoleMode = 9;  // must all be replaced
    form.ReadControls(out);
    EXPECT_EQ(out.AcadVersion, in.AcadVersion);
    EXPECT_EQ(out.ZeroWidthLines, in.ZeroWidthLines);
    EXPECT_EQ(out.HoleMode, in.HoleMode);
    EXPECT_EQ(out.Units, in.Units);
    EXPECT_EQ(out.OutputFormat, in.OutputFormat);
    EXPECT_EQ(out.ComponentsMode, in.ComponentsMode);
    EXPECT_EQ(out.RoundedTracks, in.RoundedTracks);
    EXPECT_EQ(out.OnlyVisibleLayers, in.OnlyVisibleLayers);
  }
}

TEST(SetupForm, RadioButtonsOfOneGroupExcludeEachOther) {
  TPCBExportSetup form("out", nullptr);
  TExportOptions o;
  o.ZeroWidthLines = 2;
  o.OnlyVisibleLayers = true;
  form.ShowOptions(o);
  EXPECT_TRUE(form.RBZeroLineWidthsSelected.Checked);
  EXPECT_FALSE(form.RBZeroLineWidthsNone.Checked || form.RBZeroLineWidthsAll.Checked);
  EXPECT_TRUE(form.RBLayersVisible.Checked);
  EXPECT_FALSE(form.RBLayersAll.Checked);
  form.SetChecked(form.RBZeroLineWidthsAll, true);
  EXPECT_FALSE(form.RBZeroLineWidthsSelected.Checked);
  EXPECT_TRUE(form.RBLayersVisible.Checked);  // other groups untouched
}

TEST(SetupForm, OutOfRangeStoredValues) {
  TPCBExportSetup form("out", nullptr);
  TExportOptions o;
  o.ComponentsMode = 7;
  o.AcadVersion = 9;
  o.OutputFormat = -1;
  o.ZeroWidthLines = 5;
  o.HoleMode = 4;
  form.ShowOptions(o);
  EXPECT_TRUE(form.RBCompExportAsPrimitives.Checked);
  EXPECT_EQ(form.CMBVersion.ItemIndex, -1);
  EXPECT_EQ(form.CMBFormat.ItemIndex, -1);
  EXPECT_FALSE(form.RBZeroLineWidthsNone.Checked || form.RBZeroLineWidthsAll.Checked ||
               form.RBZeroLineWidthsSelected.Checked);
  EXPECT_TRUE(form.CBHoles.Checked);
  EXPECT_EQ(form.CMBHoles.ItemIndex, -1);
  EXPECT_EQ(form.HolesLabel, kExported);
  form.ReadControls(o);
  EXPECT_EQ(o.ComponentsMode, 1);
  // Lists and buttons that show no value keep the loaded one instead of
  // inventing -1 or 0.
  EXPECT_EQ(o.AcadVersion, 9);
  EXPECT_EQ(o.OutputFormat, -1);
  EXPECT_EQ(o.ZeroWidthLines, 5);
  EXPECT_EQ(o.HoleMode, 4);
}

}  // namespace
