throw new Error('isolated-vm is not installed here: give webcrack a sandbox of its own');
