// The command line and the prompt directory as the panels and the local plugin reach them:
// through the one shell (ZPrompt::Shell). Every function does nothing (or returns an empty
// text, or -1) while no shell exists.
#pragma once

// The prompt directory.
const char* PromptGetDir();
// Copies the directory (null: empty) into the prompt, redraws the command line and shows the
// directory in the terminal's title.
void PromptSetDir(const char* directory);
// The command text, owned by the shell.
const char* PromptGetLine();
// Replaces the command text (null: empty) and clears its selection.
void PromptSetLine(const char* text);
int PromptGetCursor();
void PromptSetCursor(int position);
// Runs the command text with the interface suspended, then re-reads both panels. The
// command's exit status (-1 when it could not run).
int PromptExecute();
