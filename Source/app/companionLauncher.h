#pragma once

// Starts the companion, TindralMenu, from the application folder's resources (Resources/TindralMenu.app),
// in the background. The main window's start-up and the preferences' check box both start it this way.
class companionLauncher {
public:
    // Starts the companion. When its folder is missing or it cannot be started, says so in the alert
    // "Problem launching menu" with the status and the button "Ah well", and returns false. Whether a
    // companion already runs is not looked at: the companion announces itself (TNDTurnedOn) once it runs.
    static bool launch();
};
