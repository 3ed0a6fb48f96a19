// The window's side of the calculation job: Verify starts it, Cancel asks, the end restores the window;
// meanwhile the rows show what the job publishes and the bar how far it has got.
#pragma once

// Starts a job over the chosen file with the ticked algorithms (Verify while no job runs).
void startCalculation();
// Asks whether to cancel, with the job paused meanwhile (Verify while a job runs).
void requestCancel();
// The job's end event: the window back, the end message.
void finishCalculation();

// Connects the job to the main loop: what the job thread publishes reaches the rows through it. Once,
// at start-up.
void connectJobToWindow();
