# Script mode: cmake -DIN=<text file> -DOUT=<copy> -P crlf.cmake
# Writes a copy of IN with CR LF line ends. The repository keeps LF; the copies go into the
# Windows zip, where Notepad before Windows 10 shows a file of LF line ends as one long line.
file(READ "${IN}" text)
# A line that already ends in CR LF must not get a second CR.
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}" "${text}")
