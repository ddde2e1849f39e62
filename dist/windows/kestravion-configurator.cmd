@echo off
rem Starts the KESTRAVION Bluetooth Configurator in the user's own folder,
rem %APPDATA%\kestravion, made when missing: the program reads and writes config.ini in
rem the folder it is started in. start /D gives the program its folder without a cd,
rem which refuses a network (UNC) path such as a redirected %APPDATA%. Every path is
rem quoted and none is echoed inside a parenthesised block, where a ")" in it would end
rem the block.
setlocal
set "folder=%APPDATA%\kestravion"
if not exist "%folder%\" mkdir "%folder%"
if exist "%folder%\" goto run
echo The folder "%folder%" cannot be made.
pause
exit /b 1
:run
start "" /D "%folder%" "%~dp0tarvelo.exe"
