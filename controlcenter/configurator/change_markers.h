// The change markers of the Advanced settings window: one per settings area, set when a settings
// dialog changed something (or a filter update completed), living as long as the process. Only
// whether any is set is ever asked; all are cleared together.
#pragma once

enum class ChangeArea { AllowSites, SearchEngines, Disallow, Protocols, Topics, FilterUpdate, Rsaci, SafeSurf, AccessTimes };

void SetChangeMarker(ChangeArea area);
bool AnyChangeMarker();
void ClearChangeMarkers();
