@echo off
rem Starts the KESTRAVION Bluetooth Configurator in the user's own folder,
rem %APPDATA%\kestravion, made when missing: the program reads and writes config.ini in
rem the folder it is started in.
setlocal
set "folder=%APPDATA%\kestravion"
if not exist "%folder%\" mkdir "%folder%"
if not exist "%folder%\" (
    echo The folder %folder% cannot be made.
    pause
    exit /b 1
)
cd /d "%folder%"
start "" "%~dp0tarvelo.exe"
