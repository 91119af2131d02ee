#pragma once

class ContentView;
class QMenu;

// File ▸ "Add Skills from Repository…" and "Check for Skill Updates": the two
// ways the window reaches a skill's source. Either goes online only when chosen.
void addSourceActions(QMenu *file, ContentView *window);

// Asks each source whether it moved on and says what it found; offers to update
// the skills whose source moved on (an edited one is never overwritten).
void checkForSkillUpdates(ContentView *window);
