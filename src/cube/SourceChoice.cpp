#include "cube/SourceChoice.h"

#include <filesystem>

#include "cube/HyProgress.h"
#include "platform/db/CsvReader.h"
#include "platform/db/Table.h"

namespace hy {

std::string TSourceChoice::Caption() const {
  const std::string file = std::filesystem::path(fileName).filename().string();
  return kind == scTable ? tableName + " (" + file + ")" : file;
}

std::unique_ptr<TDataSet> OpenSourceChoice(const TSourceChoice& choice, TComponent* owner,
                                           TCubeProgress* progress) {
  if (choice.kind == TSourceChoice::scTable) {
    auto table = std::make_unique<TTable>(owner);
    const std::filesystem::path file = std::filesystem::absolute(choice.fileName);
    table->SetDatabaseName(file.parent_path().string());
    table->SetTableName(file.filename().string() + ":" + choice.tableName);
    return table;
  }
  if (!progress) return ReadCsvFile(choice.fileName, &choice.csv, {});
  constexpr int32_t kSteps = 100;
  progress->ProgressStage("Reading " + std::filesystem::path(choice.fileName).filename().string(),
                          kSteps);
  int32_t shown = 0;
  return ReadCsvFile(choice.fileName, &choice.csv, [&shown, progress](int64_t done, int64_t total) {
    const int32_t due = total > 0 ? static_cast<int32_t>(done * kSteps / total) : kSteps;
    while (shown < due) {
      progress->ProgressStep();  // raises EUserCanceled after Cancel
      ++shown;
    }
  });
}

}  // namespace hy
