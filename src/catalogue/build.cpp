// The catalogue build: wait for the drive, search, sort, with the status label around it.
#include <cstring>

#include "catalogue/catalogue.h"
#include "catalogue/catalogue_sort.h"
#include "catalogue/catalogue_window.h"
#include "catalogue/program_state.h"

namespace veldan {

void BuildCatalogue(const char* starting_folder) {
  // Handlers that run during the media wait may change the program's starting folder (the text
  // passed in is often that very buffer); this build searches the folder it was asked for.
  char folder[kTextSize];
  std::size_t length = strnlen(starting_folder, kTextSize - 1);
  std::memcpy(folder, starting_folder, length);
  folder[length] = '\0';

  CatalogueWindow& window = CurrentCatalogueWindow();
  window.SetPollTimerRunning(false);
  window.SetStatus("Searching ", kColourYellow);
  window.PumpMessages();
  g_state.catalogue.count = 0;
  // An aborted wait does not stop the build: the search then finds what it can.
  WaitForMedia(folder);
  // A list loaded by a handler during the wait must not end up mixed with this search's files.
  g_state.catalogue.count = 0;
  SearchFolder(folder, 0);
  g_state.catalogue.current = 0;
  SortCatalogue();
  window.SetStatus("Stop ", kColourRed);
  window.SetPollTimerRunning(true);
  window.PumpMessages();
}

}  // namespace veldan
