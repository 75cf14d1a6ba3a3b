// "Decision Cube Editor": the dimension map of a cube (name, activity,
// grouping, type, format, start of the date grouping, alignment and width of
// each item) and its memory limits with the capacity plan's estimate. The
// dialog edits a copy; the caller rebuilds the cube with it on OK.
#pragma once

#include <cstdint>
#include <memory>

#include <QDialog>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QTabWidget;

namespace hy {

class THyCube;
class THyCustomStore;
class THyMap;

// What a cube of this map would hold, planned as the build plans it:
// dimensions and summaries in the order the build activates them, each only
// while the cell count stays within the limits.
struct TCubeEstimate {
  int32_t dimensions = 0;
  int32_t summaries = 0;
  uint64_t cells = 1;        // dimension value combinations
  uint64_t memoryBytes = 0;  // one 8-byte value per summary and combination
  int32_t leftOut = 0;       // items the limits leave inactive
};
TCubeEstimate EstimateCube(const THyMap& map, int32_t maxDimensions, int32_t maxSummaries,
                           uint64_t maxCells);

class THyCubeEditor : public QDialog {
public:
  static constexpr const char* kCaption = "Decision Cube Editor";

  THyCubeEditor(const THyCustomStore& cube, QWidget* parent = nullptr);
  ~THyCubeEditor() override;

  // The edited map and limits.
  const THyMap& Map() const;
  // Writes the edited map and limits into a cube that is not open.
  void ApplyTo(THyCube& cube) const;

  // Selects the item shown in the settings.
  void SelectItem(int index);

  QTabWidget* Tabs() const { return tabs_; }
  QListWidget* FieldList() const { return fields_; }
  QLineEdit* DisplayName() const { return name_; }
  QComboBox* ActiveType() const { return active_; }
  QComboBox* Grouping() const { return grouping_; }
  QComboBox* ValueType() const { return type_; }
  QLineEdit* FormatEdit() const { return format_; }
  QDateEdit* InitialValue() const { return start_; }
  QComboBox* AlignmentBox() const { return align_; }
  QSpinBox* WidthBox() const { return width_; }
  QSpinBox* MaxDimensions() const { return maxDims_; }
  QSpinBox* MaxSummaries() const { return maxSums_; }
  QSpinBox* MaxCells() const { return maxCells_; }
  QLabel* EstimateLabel() const { return estimate_; }

  void accept() override;

private:
  QWidget* CreateDimensionPage();
  QWidget* CreateMemoryPage();
  void ShowItem(int index);
  void StoreItem();
  void UpdateEstimate();

  std::unique_ptr<THyCube> scratch_;  // holds the edited map
  bool filling_ = false;

  QTabWidget* tabs_;
  QListWidget* fields_ = nullptr;
  QLineEdit* name_ = nullptr;
  QComboBox* active_ = nullptr;
  QComboBox* grouping_ = nullptr;
  QComboBox* type_ = nullptr;
  QLineEdit* format_ = nullptr;
  QDateEdit* start_ = nullptr;
  QComboBox* align_ = nullptr;
  QSpinBox* width_ = nullptr;
  QSpinBox* maxDims_ = nullptr;
  QSpinBox* maxSums_ = nullptr;
  QSpinBox* maxCells_ = nullptr;
  QLabel* estimate_ = nullptr;
};

}  // namespace hy
