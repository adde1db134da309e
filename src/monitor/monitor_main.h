#pragma once
int monitorMain(int argc, char** argv);
