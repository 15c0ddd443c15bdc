# The portable logic, built for Windows and for the host alike.
set(VISAPREP_LOGIC
  app/CommandTail.cpp
  app/RunCommand.cpp
  text/Text.cpp
  copy/WholeCopy.cpp
  config/Configuration.cpp
  config/FrameworkPath.cpp
  library/CompanyName.cpp
  library/SetAside.cpp
  library/SetAsideName.cpp
  library/Restore.cpp)
